#!/usr/bin/env bash
# Without the music file the demo says so, plays its picture on a silent clock that seeks like
# the music (M held), reaches the end of the presentation and exits 0 by itself.
source "$(dirname "$0")/common.bash" "$1" "$2"
start_x
run=$(make_data_folder music)
start_demo "$run"
answer_start_question Escape
win=$(wait_window "$demo_title") || fail "no window"
sleep 0.5
xdotool windowfocus "$win"
xdotool keydown m
expect_exit_zero 120
xdotool keyup m
[ "$(head -2 "$work/stdout")" = "$(printf 'Error!\nFile Not Found')" ] || fail "expected Error! and File Not Found"
echo "PASS"
