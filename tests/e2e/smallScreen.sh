#!/usr/bin/env bash
# On a 640x400 screen an 800x600 window would not fit: answering No opens the largest 4:3 window
# that fits the screen's work area (533x400), the picture filling it; Escape ends with code 0.
source "$(dirname "$0")/common.bash" "$1" "$2"
source "$(dirname "$0")/screen.bash"
start_x 640x400 -wr
export KESTRANE_TRACE=1
start_demo "$source_dir"
answer_start_question Escape
win=$(wait_window "$demo_title") || fail "no window titled $demo_title"
what="window on a 640x400 screen"
wait_geometry "$win" 20 "533x400+53+0" || fail "the window is $(geometry "$win"), expected 533x400+53+0"
# The letterbox bars (53 rows) are the window's own top and bottom; bare screen beside it.
see "bare 53 400 0 0" "bare 54 400 586 0" "black 533 53 53 0" "black 533 53 53 347" \
    "lit 8 294 53 53" "lit 8 294 578 53"
hold_key "$win" Escape
expect_exit_zero 20
release_key Escape
expect_no_gl_error
echo "PASS"
