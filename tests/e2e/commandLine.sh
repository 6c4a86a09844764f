#!/usr/bin/env bash
# The command line: --fullscreen and --window start without the question, in that mode; --help
# and --version print and exit 0; anything else prints the usage on standard error and exits 2
# without opening a window.
source "$(dirname "$0")/common.bash"
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
xwininfo -root -tree | grep -qF '"Vel - Kestrane"' && fail "a window was opened for a bad command line"

# Full screen covers the whole screen in the desktop's own mode (no 1024x768 mode switch, no
# "Use Windowed Mode Instead?" question); the window is 800x600.
for mode in --window --fullscreen; do
  start_demo "$source_dir" "$mode"
  win=""
  for _ in $(seq 200); do
    tree=$(xwininfo -root -tree)
    grep -qF '"Start FullScreen?"' <<<"$tree" && fail "$mode: the start question was shown"
    grep -qF '"auto"' <<<"$tree" && fail "$mode: full screen was refused"
    win=$(grep -F '"Vel - Kestrane"' <<<"$tree" | awk '{print $1}')
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
echo "PASS"
