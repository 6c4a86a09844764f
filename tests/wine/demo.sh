#!/usr/bin/env bash
# kestrane.exe under Wine: the start question is a system message box (answered No with the
# keyboard), the window "Vel - Kestrane" is 800x600 and shows the picture, M jumps the music one
# second, F1 re-creates the window full screen as "Tove" and again as a window (still "Tove"), and
# Escape ends the program with exit code 0. The clock and the keys are read from KESTRANE_TRACE's lines on standard error.
source "$(dirname "$0")/../e2e/common.bash"
source "$(dirname "$0")/wine.bash"
source "$(dirname "$0")/../e2e/screen.bash"

# The largest jump of the music clock against the wall clock between two clock lines after line
# $1, in seconds: about 1 after one press of M, about 0 while the music plays on.
largest_jump() {
  clock_pairs "$1" | awk 'NR > 1 {j = ($2 - m) - ($1 - w); if (j > best) best = j} {w = $1; m = $2}
    END {printf "%.3f\n", best + 0}'
}

start_x
make_prefix
demo_audio=dummy KESTRANE_TRACE=1 start_windows_demo "$package"
answer_start_question Escape
win=$(wait_window "Vel - Kestrane" 60) || fail "no window titled Vel - Kestrane"
[ "$(client_size "$win")" = "800x600" ] || fail "client area $(client_size "$win"), expected 800x600"
wait_trace "clock at wall" 60 8 || fail "no frames traced"
# Some part of the window shows a lit picture (the water sphere and the intro cards).
what="the picture in the window"
see '[ "$(region_max 800 600 0 0)" -ge 64 ]'

before=$(grep -c "clock at wall" "$work/stderr")
hold_key "$win" m
sleep 0.3
release_key m
wait_trace "clock at wall" 20 $((before + 6)) || fail "the clock stopped after M"
jump=$(largest_jump "$before")
echo "M: the music jumped $jump s ahead of the wall clock"
awk -v j="$jump" 'BEGIN {exit !(j >= 0.8 && j <= 1.6)}' || fail "M moved the music $jump s, expected about 1 s"

hold_key "$win" F1
tove=$(wait_window "Tove" 30) || fail "F1 did not re-create the window as Tove"
release_key F1
[ "$(client_size "$tove")" = "800x600" ] || fail "the full-screen Tove is $(client_size "$tove"), expected the 800x600 screen"
xwininfo -root -tree | grep -qF '"Vel - Kestrane"' && fail "the first window is still there after F1"
# Back to a window: re-created again (a new window), still titled "Tove".
hold_key "$tove" F1
back=""
for _ in $(seq 300); do
  back=$(wait_window "Tove" 1) && [ "$back" != "$tove" ] && break
  back=""
  sleep 0.1
done
release_key F1
[ -n "$back" ] || fail "F1 did not re-create the window a second time"
[ "$(client_size "$back")" = "800x600" ] || fail "the window is $(client_size "$back") after F1 twice"
hold_key "$back" Escape
expect_exit_zero 30
release_key Escape
grep -q "loop ended (escape)" "$work/stderr" || fail "the loop did not end by Escape"
echo "PASS"
