# weston.bash: the Wayland tests' steps on the private Weston that parts.bash starts (start_weston):
# keys pressed on its test seat, its window list, focus and screenshots. Sourced after common.bash.
# Evdev key codes the tests press.
KEY_ESC=1
KEY_F1=59
KEY_M=50
KEY_N=49

wl_tap() { weston_ask tap "$1" >/dev/null; }
wl_key_down() { weston_ask key "$1" down >/dev/null; }
wl_key_up() { weston_ask key "$1" up >/dev/null; }

# The desktop's windows, topmost first, one per line: "X Y WIDTH HEIGHT FULLSCREEN ACTIVATED TITLE".
wl_windows() { weston_ask windows | cut -d' ' -f2-; }

# The window line of the window titled exactly $1, waiting up to $2 seconds (default 20) for it.
wait_wl_window() {
  local line
  for _ in $(seq $(( ${2:-20} * 10 ))); do
    line=$(wl_windows | while read -r x y w h full active title; do
      [ "$title" = "$1" ] && { echo "$x $y $w $h $full $active $title"; break; }
    done)
    [ -n "$line" ] && { echo "$line"; return 0; }
    [ -n "$demo_pid" ] && ! kill -0 "$demo_pid" 2>/dev/null && return 1
    sleep 0.1
  done
  return 1
}

# Waits up to $2 seconds (default 30) until the keyboard is on the window titled $1: a key pressed
# while no window has the keyboard reaches nobody.
wait_wl_focus() {
  for _ in $(seq $(( ${2:-30} * 10 ))); do
    [ "$(weston_ask focus | cut -d' ' -f2-)" = "$1" ] && return 0
    [ -n "$demo_pid" ] && ! kill -0 "$demo_pid" 2>/dev/null && return 1
    sleep 0.1
  done
  return 1
}

# Takes a screenshot of the whole desktop (in output pixels) into $work/shot.png, which
# screen.bash's region checks read.
shot() {
  rm -f "$work"/shots/*.png
  (cd "$work/shots" && weston-screenshooter >/dev/null 2>&1) || fail "weston-screenshooter failed"
  local file
  file=$(ls "$work"/shots/*.png 2>/dev/null | head -1)
  [ -n "$file" ] || fail "weston-screenshooter wrote no picture"
  mv "$file" "$work/shot.png"
  # Decoded once into ImageMagick's own pixel cache, which every region check then reads at once
  # (a 3840x2160 PNG took about a second to decode for each check).
  convert "$work/shot.png" "$work/shot.mpc" || fail "cannot read the screenshot"
  shot_image=$work/shot.mpc
}

# The desktop window titled $1 as "X Y WIDTH HEIGHT FULLSCREEN", once it is full screen over the
# WIDTH x HEIGHT desktop ($2 $3, logical units) or, with $2 = window, a window 800 wide; waits up
# to 20 s. A window's size includes its decorations: the title bar that the decoration plugin
# draws above the picture's 600 rows, or the frame of Weston's X window manager (equal borders on
# the sides and below, the title bar above).
wait_wl_mode() {
  local line
  for _ in $(seq 200); do
    line=$(wl_windows | while read -r x y w h full active title; do
      [ "$title" = "$1" ] || continue
      if [ "$2" = window ]; then
        [ "$full" = 0 ] && [ "$w" -ge 800 ] && [ "$w" -le 820 ] && echo "$x $y $w $h $full"
      else
        [ "$full $x $y $w $h" = "1 0 0 $2 $3" ] && echo "$x $y $w $h $full"
      fi
      break
    done)
    [ -n "$line" ] && { echo "$line"; return 0; }
    kill -0 "$demo_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Full screen as seen on a 1920x1080 desktop at scale $3 (default 1): the picture 1440x1080 units
# between black pillars of 240 units (at scale 1 in columns 240 to 1679), reaching the pillars.
expect_wl_full_screen_seen() {
  what="full screen, $1"
  local s=${3:-1}
  wait_wl_mode "$2" 1920 1080 >/dev/null || fail "no full-screen window \"$2\": $(wl_windows) ($what)"
  see "black $((240 * s)) $((1080 * s)) 0 0" "black $((240 * s)) $((1080 * s)) $((1680 * s)) 0" \
      "lit $((1440 * s)) $((792 * s)) $((240 * s)) $((144 * s))" "lit 8 $((792 * s)) $((240 * s)) $((144 * s))" \
      "lit 8 $((792 * s)) $((1680 * s - 8)) $((144 * s))"
}

# An 800x600 window as seen (scale $3, default 1): its picture's 800x600 logical units lit, the
# desktop bare more than 64 units away from the window (decorations cast shadows nearer), but for
# the top-left 200x200 units, where the pointer's cursor sits.
expect_wl_window_seen() {
  what="window, $1"
  local s=${3:-1} x y w h full
  read -r x y w h full < <(wait_wl_mode "$2" window) || fail "no 800x600 window \"$2\": $(wl_windows) ($what)"
  [ "$h" -ge 600 ] && [ "$h" -le 660 ] || fail "the window \"$2\" is $w x $h ($what)"
  local border=$(((w - 800) / 2)) m=64
  local left=$((x + border)) top=$((y + h - 600 - border))
  see "lit $((800 * s)) $((600 * s)) $((left * s)) $((top * s))" \
      "bare $(((x - m) * s)) $((880 * s)) 0 $((200 * s))" \
      "bare $(((1920 - x - w - m) * s)) $((1080 * s)) $(((x + w + m) * s)) 0" \
      "bare $((1720 * s)) $(((y - m) * s)) $((200 * s)) 0" \
      "bare $((1920 * s)) $(((1080 - y - h - m) * s)) 0 $(((y + h + m) * s))"
  window_rect="$left $top"
}

# The X display of Weston's Xwayland (started with --xwayland), as ":N"; waits up to 5 s.
xwayland_display() {
  local display
  for _ in $(seq 50); do
    display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" | tail -1)
    [ -n "$display" ] && { echo "$display"; return 0; }
    sleep 0.1
  done
  return 1
}
