#!/usr/bin/env bash
# SIGTERM and SIGINT end the demo with exit code 0 at once, the start question included: the
# question's box goes away with it and no process of the demo is left.
source "$(dirname "$0")/common.bash" "$1" "$2"
export KESTRANE_TRACE=1
start_x

for signal in TERM INT; do
  start_demo "$source_dir"
  box=$(wait_window "Start FullScreen?") || fail "the start question was not shown"
  sleep 0.5
  signal_and_expect_exit_zero $signal
  sleep 0.5
  xwininfo -root -tree | grep -qF '"Start FullScreen?"' && fail "the start question outlived SIG$signal"
done

for signal in TERM INT; do
  start_demo "$source_dir" --window
  wait_window "$demo_title" >/dev/null || fail "no window"
  wait_trace "clock at wall" || fail "no frame was drawn"
  signal_and_expect_exit_zero $signal
  xwininfo -root -tree | grep -qF "\"$demo_title\"" && fail "the window outlived SIG$signal"
done
echo "PASS"
