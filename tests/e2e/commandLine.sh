#!/usr/bin/env bash
# The command line: --fullscreen and --window start without the question, in that mode; --help
# and --version print and exit 0; anything else prints the usage on standard error and exits 2
# without opening a window. The start question's box reads Yes then No from the left, whether or not
# the session looks like Wayland's, and a box closed without a button answers No.
source "$(dirname "$0")/common.bash" "$1" "$2"
xvfb_screen=1024x768x24  # larger than the window, so that full screen and windowed differ
start_x

# Runs the demo with the arguments given to its end; sets rc, out and err.
run_to_end() {
  rc=0
  (cd "$source_dir" && exec env SDL_AUDIODRIVER=dummy timeout 20 "$build/kestrane" "$@" \
    >"$work/stdout" 2>"$work/stderr") || rc=$?
  out=$(cat "$work/stdout")
  err=$(cat "$work/stderr")
}

run_to_end --help
[ "$rc" -eq 0 ] || fail "--help exit code $rc"
[[ "$out" == "Usage: kestrane "* ]] || fail "--help printed: $out"
[ -z "$err" ] || fail "--help wrote to standard error: $err"

run_to_end --version
[ "$rc" -eq 0 ] || fail "--version exit code $rc"
[[ "$out" =~ ^kestrane\ [0-9]+\.[0-9]+ ]] || fail "--version printed: $out"

for args in "--bogus" "-f" "--window --fullscreen" "fullscreen"; do
  # shellcheck disable=SC2086
  run_to_end $args
  [ "$rc" -eq 2 ] || fail "'$args': exit code $rc, expected 2"
  [ -z "$out" ] || fail "'$args' wrote to standard output: $out"
  grep -q "^Usage: kestrane" <<<"$err" || fail "'$args': no usage on standard error"
done
xwininfo -root -tree | grep -qF "\"$demo_title\"" && fail "a window was opened for a bad command line"

# Full screen covers the whole screen in the desktop's own mode (no 1024x768 mode switch, no
# "Use Windowed Mode Instead?" question); the window is 800x600.
for mode in --window --fullscreen; do
  start_demo "$source_dir" "$mode"
  win=""
  for _ in $(seq 200); do
    tree=$(xwininfo -root -tree)
    grep -qF '"Start FullScreen?"' <<<"$tree" && fail "$mode: the start question was shown"
    grep -qF '"auto"' <<<"$tree" && fail "$mode: full screen was refused"
    win=$(grep -F "\"$demo_title\"" <<<"$tree" | awk '{print $1}')
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || fail "$mode: no window"
  sleep 1
  size=$(client_size "$win")
  if [ "$mode" = --fullscreen ]; then
    [ "$size" = 1024x768 ] || fail "--fullscreen: the window is $size, not the whole 1024x768 screen"
  else
    [ "$size" = 800x600 ] || fail "--window: client area $size, expected 800x600"
  fi
  hold_key "$win" Escape
  expect_exit_zero 20
  release_key Escape
done
# SDL's own X11 box (no zenity on PATH), in a plain X session and in one that names a Wayland
# display with no compositor behind it: the left button starts full screen, the right one a window.
mkdir -p "$work/empty"
ln -sf "$(command -v env)" "$work/empty/env"
for session in x11 wayland-named; do
  for side in left right; do
    if [ "$session" = x11 ]; then
      PATH=$work/empty start_demo "$source_dir"
    else
      WAYLAND_DISPLAY=kestrane-no-compositor PATH=$work/empty start_demo "$source_dir"
    fi
    box=$(wait_window "Start FullScreen?") || fail "$session: the start question was not shown"
    sleep 0.5
    read -r bx by bw bh < <(xwininfo -id "$box" |
      awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2}
           END {print x, y, w, h}')
    [ "$side" = left ] && x=$(( bx + bw * 35 / 100 )) || x=$(( bx + bw * 65 / 100 ))
    xdotool mousemove "$x" $(( by + bh * 72 / 100 )) click 1
    win=$(wait_window "$demo_title") || fail "$session: no window after the $side button"
    sleep 1
    size=$(client_size "$win")
    want=$([ "$side" = left ] && echo 1024x768 || echo 800x600)
    [ "$size" = "$want" ] || fail "$session: the $side button gave $size, expected $want"
    kill -TERM "$demo_pid"
    expect_exit_zero 20
  done
done
echo "PASS"
