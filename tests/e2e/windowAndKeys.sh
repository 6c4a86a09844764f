#!/usr/bin/env bash
# Answering No opens an 800x600 window titled "Vel - Kestrane"; F1 re-creates it full screen as
# "Tove"; Escape ends the program with exit code 0.
source "$(dirname "$0")/common.bash" "$1" "$2"
start_x
start_demo "$source_dir"
answer_start_question Escape
win=$(wait_window "$demo_title") || fail "no window titled $demo_title"
[ "$(client_size "$win")" = "800x600" ] || fail "client area $(client_size "$win"), expected 800x600"
hold_key "$win" F1
tove=$(wait_window "$reopened_title") || fail "F1 did not re-create the window as Tove"
release_key F1
[ "$(client_size "$tove")" = "800x600" ] || fail "Tove is $(client_size "$tove")"
xwininfo -root -tree | grep -qF "\"$demo_title\"" && fail "the first window is still there after F1"
hold_key "$tove" Escape
expect_exit_zero 20
release_key Escape
echo "PASS"
