#!/usr/bin/env bash
# On a 1920x1080 screen with no 800x600 mode: answering Yes gives a window covering the screen with
# the picture centred between black pillars, and the screen's mode stays as it was before, during
# and after the run. F1 gives an 800x600 window titled "Tove" (bare screen around it), F1 again full
# screen; Escape ends with exit code 0. Full screen and window are told apart by what is seen.
source "$(dirname "$0")/common.bash" "$1" "$2"
source "$(dirname "$0")/screen.bash"
start_wide_screen
# Held keys do not repeat here: on a loaded machine a held F1 repeated before the new window was
# seen and switched it back.
xset r off
export KESTRANE_TRACE=1
start_demo "$source_dir"
answer_start_question Return
win=$(wait_window "$demo_title") || fail "no window titled $demo_title"
grep -q "Not Supported" "$work/stderr" && fail "full screen was refused"
expect_full_screen_seen "at start" "$win"
expect_mode_unchanged "during the run"

hold_key "$win" F1
tove=$(wait_window "$reopened_title") || fail "F1 did not re-create the window as Tove"
release_key F1
expect_window_seen "after F1" "$tove" 800 600 560 240
expect_mode_unchanged "after F1"

hold_key "$tove" F1
for _ in $(seq 200); do
  full=$(wait_window "$reopened_title" 5) || fail "no Tove window after the second F1"
  [ "$full" != "$tove" ] && break
  sleep 0.1
done
release_key F1
[ "$full" != "$tove" ] || fail "the second F1 did not re-create the window"
expect_full_screen_seen "after F1 twice" "$full"
expect_mode_unchanged "after F1 twice"

hold_key "$full" Escape
expect_exit_zero 20
release_key Escape
expect_mode_unchanged "after Escape"
expect_no_gl_error
echo "PASS"
