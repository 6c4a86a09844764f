# screen.bash: what the screen shows, for the tests on a 1920x1080 screen with no 800x600 mode.
# Sourced after common.bash. The screen's root is white (Xvfb -wr), so any white seen is screen
# that no window of the demo covers, while the demo's own black pillars and bars are black.

# Starts the 1920x1080 white-rooted screen and notes its display mode.
start_wide_screen() {
  start_x 1920x1080 -wr
  mode_before=$(screen_mode)
  [ -n "$mode_before" ] || fail "xrandr reports no current mode"
}

# The current mode as xrandr prints it (the starred line).
screen_mode() { xrandr --query 2>/dev/null | awk '/\*/ {print $1; exit}'; }

expect_mode_unchanged() {
  local now
  now=$(screen_mode)
  [ "$now" = "$mode_before" ] || fail "the screen's mode changed $1: $mode_before before, $now now"
}

# Window geometry "WxH+X+Y" of window $1.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h "+" x "+" y}'
}

# Waits up to $2 s (default 20) for window $1 to have geometry $3.
wait_geometry() {
  for _ in $(seq $(( ${2:-20} * 10 ))); do
    [ "$(geometry "$1")" = "$3" ] && return 0
    sleep 0.1
  done
  return 1
}

shot() { import -window root "$work/shot.png" 2>/dev/null || fail "cannot take a screenshot"; }

# Largest and smallest channel value (0-255) in the W x H rectangle at X,Y of the last shot
# ($shot_image: the PNG, or a copy decoded once when many regions are read from a large shot).
region_max() {
  convert "${shot_image:-$work/shot.png}" -crop "${1}x${2}+${3}+${4}" +repage -separate -evaluate-sequence max \
    -format '%[fx:round(255*maxima)]' info:
}
region_min() {
  convert "${shot_image:-$work/shot.png}" -crop "${1}x${2}+${3}+${4}" +repage -separate -evaluate-sequence min \
    -format '%[fx:round(255*minima)]' info:
}

# Checks are polled: the demo shows its first frame only once it has loaded everything, and a
# resized window shows the refitted picture a frame later. see CHECK... takes shots until every
# check holds, up to 60 s, then fails naming the check that did not hold.
see() {
  local check failed="no shot taken" deadline=$((SECONDS + 60))
  while [ "$SECONDS" -lt "$deadline" ]; do
    kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended ($what)"
    shot
    failed=""
    for check in "$@"; do
      eval "$check" || { failed=$check; break; }
    done
    [ -z "$failed" ] && return 0
    sleep 0.5
  done
  fail "not seen within 60 s: $failed ($what)"
}

# Checks for see: the W x H rectangle at X,Y is entirely black (the demo's pillars or bars), bare
# screen (white), or shows a picture (some channel above 40); an empty rectangle holds trivially.
black() { [ "$1" -le 0 ] || [ "$2" -le 0 ] || [ "$(region_max "$@")" -le 8 ]; }
bare() { [ "$1" -le 0 ] || [ "$2" -le 0 ] || [ "$(region_min "$@")" -ge 247 ]; }
lit() { [ "$(region_max "$@")" -gt 40 ]; }

# Full screen as seen: the window covers the screen and the 1440x1080 picture is centred between
# black pillars of 240 columns, its letterbox bars (144 rows each) no wider than the picture, and
# the picture reaches the pillars (something shows in its first and last columns). A window would
# show bare screen around it instead.
expect_full_screen_seen() {
  what="full screen, $1"
  wait_geometry "$2" 20 "1920x1080+0+0" || fail "the full-screen window is $(geometry "$2") ($what)"
  see "black 240 1080 0 0" "black 240 1080 1680 0" "black 1440 144 240 0" "black 1440 144 240 936" \
      "lit 1440 792 240 144" "lit 8 792 240 144" "lit 8 792 1672 144"
}

# A window as seen: bare screen around the rectangle W x H at X,Y, and a picture inside it.
expect_window_seen() {
  what="window, $1"
  local w=$3 h=$4 x=$5 y=$6
  wait_geometry "$2" 20 "${w}x${h}+${x}+${y}" || fail "the window is $(geometry "$2"), expected ${w}x${h}+${x}+${y} ($what)"
  see "bare $x 1080 0 0" "bare $((1920 - x - w)) 1080 $((x + w)) 0" "bare 1920 $y 0 0" \
      "bare 1920 $((1080 - y - h)) 0 $((y + h))" "lit $w $h $x $y"
}

# No GL error was traced while the demo ran (it runs with KESTRANE_TRACE set).
expect_no_gl_error() {
  ! grep -q "GL error" "$work/stderr" || fail "GL errors: $(grep "GL error" "$work/stderr" | head -3)"
}
