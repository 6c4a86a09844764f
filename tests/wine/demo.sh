#!/usr/bin/env bash
# kestrane.exe under Wine: the start question is a system message box (answered No with the
# keyboard), the window "Vel - Kestrane" is 800x600 and shows the picture, M jumps the music one
# second, F1 re-creates the window full screen as "Tove" and again as a window (still "Tove"), and
# Escape ends the program with exit code 0. The clock and the keys are read from KESTRANE_TRACE's lines on standard error.
source "$(dirname "$0")/../e2e/common.bash" "$1" "$2"
source "$(dirname "$0")/wine.bash"
source "$(dirname "$0")/../e2e/screen.bash"

# How far the first clock line after the seek line stands from where the seek started, in seconds:
# 1 after one press of M (the clock holds at the new place until it is heard), plus what played
# since. Wine's standard error ends its lines with CR LF.
seek_distance() {
  awk '{sub(/\r$/, "")} /seek M at wall/ {from = $(NF - 1) + 0; seen = 1; next}
    seen && /clock at wall/ {printf "%.3f\n", $8 - from; exit}' "$work/stderr"
}

start_x
make_prefix
demo_audio=dummy KESTRANE_TRACE=1 start_windows_demo "$package"
answer_start_question Escape
win=$(wait_window "$demo_title" 60) || fail "no window titled $demo_title"
[ "$(client_size "$win")" = "800x600" ] || fail "client area $(client_size "$win"), expected 800x600"
wait_trace "clock at wall" 60 8 || fail "no frames traced"
# Some part of the window shows a lit picture (the water sphere and the intro cards).
what="the picture in the window"
see '[ "$(region_max 800 600 0 0)" -ge 64 ]'

# One tap (down and up with no delay, as fast as a user's): one seek of one second. Held, M
# would seek again on every frame.
xdotool windowfocus "$win" 2>/dev/null
tap_key m
wait_trace "seek M" 20 || fail "M was not taken"
before=$(grep -c "clock at wall" "$work/stderr")
wait_trace "clock at wall" 20 $((before + 2)) || fail "the clock stopped after M"
seeks=$(grep -c "seek M" "$work/stderr")
distance=$(seek_distance)
echo "M: $seeks seek; the next clock line is $distance s past where it started"
[ "$seeks" -eq 1 ] || fail "one tap of M made $seeks seeks"
awk -v d="$distance" 'BEGIN {exit !(d >= 0.99 && d <= 1.4)}' || fail "M moved the music $distance s, expected 1 s"

hold_key "$win" F1
tove=$(wait_window "$reopened_title" 30) || fail "F1 did not re-create the window as Tove"
release_key F1
[ "$(client_size "$tove")" = "800x600" ] || fail "the full-screen Tove is $(client_size "$tove"), expected the 800x600 screen"
xwininfo -root -tree | grep -qF "\"$demo_title\"" && fail "the first window is still there after F1"
# Back to a window: re-created again (a new window), still titled "Tove".
hold_key "$tove" F1
back=""
for _ in $(seq 300); do
  back=$(wait_window "$reopened_title" 1) && [ "$back" != "$tove" ] && break
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
