#!/usr/bin/env bash
# The window's close button ends the program with exit code 0.
source "$(dirname "$0")/common.bash" "$1" "$2"
start_x
start_demo "$source_dir"
answer_start_question Escape
win=$(wait_window "$demo_title") || fail "no window"
sleep 1
"$build/tests/e2e-close-window" "$win" || fail "could not send the close request"
expect_exit_zero 20
echo "PASS"
