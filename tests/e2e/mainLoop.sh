#!/usr/bin/env bash
# The main loop's rules checked from inside (tests/loop/mainLoopTest.cpp) in a real window on a
# private Xvfb, with the real data and the dummy audio driver: no present after the end or on
# Escape, Escape with F1 in one turn, F1 back again under the title "Tove", and the music going
# on across the re-created window.
source "$(dirname "$0")/common.bash" "$1" "$2"
start_x
(cd "$source_dir" && exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
  "$build/tests/kestrane_loop_tests" >"$work/stdout" 2>"$work/stderr") &
demo_pid=$!
expect_exit_zero 240
grep -E '^\[  (PASSED|FAILED) ' "$work/stdout"
echo "PASS"
