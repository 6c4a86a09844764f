#!/usr/bin/env bash
# Under Weston: the start question is shown (through zenity); Return answers Yes (full screen),
# Escape No (the 800x600 window). With no zenity to show it, the demo says so on one line naming
# --window and starts full screen.
source "$(dirname "$0")/common.bash" "$1" "$2"
source "$(dirname "$0")/screen.bash"
source "$(dirname "$0")/weston.bash"
command -v zenity >/dev/null || skip "no zenity"
start_weston 1920 1080
export KESTRANE_TRACE=1
for answer in Return Escape; do
  start_demo "$source_dir"
  wait_wl_focus "Start FullScreen?" || fail "the start question was not shown"
  [ "$answer" = Return ] && wl_tap 28 || wl_tap $KEY_ESC
  wait_wl_window "$demo_title" >/dev/null || fail "no window after $answer"
  if [ "$answer" = Return ]; then
    wait_wl_mode "$demo_title" 1920 1080 >/dev/null || fail "not full screen after Return: $(wl_windows)"
  else
    wait_wl_mode "$demo_title" window >/dev/null || fail "not a window after Escape: $(wl_windows)"
  fi
  grep -q "could not be shown\|Would You Like" "$work/stderr" && fail "the question went to standard error"
  signal_and_expect_exit_zero TERM >/dev/null
done

# No zenity on PATH (only env, which start_demo runs): no box at all.
mkdir -p "$work/empty"
ln -s "$(command -v env)" "$work/empty/env"
PATH=$work/empty start_demo "$source_dir"
wait_wl_window "$demo_title" >/dev/null || fail "no window without a box"
wait_wl_mode "$demo_title" 1920 1080 >/dev/null || fail "not full screen without a box: $(wl_windows)"
grep -q "^kestrane: .*could not be shown.*starting full screen: run kestrane --window" "$work/stderr" ||
  fail "no line naming --window: $(grep -v "^kestrane-trace" "$work/stderr")"
signal_and_expect_exit_zero TERM >/dev/null
echo "PASS"
