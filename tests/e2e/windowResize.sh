#!/usr/bin/env bash
# On a 1920x1080 screen: answering No opens an 800x600 window in the middle of the screen (bare
# screen around it). Resized to 1200x600 the picture refits between black pillars; resized to
# 600x900, between black bars above and below. No GL error at any size; Escape ends with code 0.
source "$(dirname "$0")/common.bash" "$1" "$2"
source "$(dirname "$0")/screen.bash"
start_wide_screen
export KESTRANE_TRACE=1
start_demo "$source_dir"
answer_start_question Escape
win=$(wait_window "$demo_title") || fail "no window titled $demo_title"
expect_window_seen "at start" "$win" 800 600 560 240

# 1200x600: an 800x600 picture between pillars of 200 columns, its letterbox bars of 80 rows.
xdotool windowsize "$win" 1200 600
expect_window_seen "resized to 1200x600" "$win" 1200 600 560 240
see "black 200 600 560 240" "black 200 600 1560 240" "lit 8 440 760 320" "lit 8 440 1552 320"

# 600x900 (moved up to fit the screen): a 600x450 picture between black bars of 225 rows above
# and below it, its own letterbox bars of 60 rows inside.
xdotool windowmove "$win" 660 90
xdotool windowsize "$win" 600 900
expect_window_seen "resized to 600x900" "$win" 600 900 660 90
see "black 600 285 660 90" "black 600 285 660 $((90 + 615))" "lit 600 8 660 $((90 + 285))" \
    "lit 600 8 660 $((90 + 607))" "lit 8 330 660 $((90 + 285))" "lit 8 330 1252 $((90 + 285))"

hold_key "$win" Escape
expect_exit_zero 20
release_key Escape
expect_no_gl_error
echo "PASS"
