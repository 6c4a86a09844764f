#!/usr/bin/env bash
# Under Weston (headless, 1920x1080, no X server): the demo chooses SDL's wayland driver by itself
# and starts full screen (--fullscreen) with the 1440x1080 picture between black pillars. F1
# switches 20 times between the 800x600 window and full screen without a crash, keeping the
# window (title Tove) and the music's clock (started once, never held up or turned back); a key
# queued behind F1 is kept; M seeks a second ahead; Escape ends with exit code 0.
source "$(dirname "$0")/common.bash" "$1" "$2"
source "$(dirname "$0")/screen.bash"
source "$(dirname "$0")/weston.bash"
start_weston 1920 1080
export KESTRANE_TRACE=1
start_demo "$source_dir" --fullscreen
wait_trace "video driver" 20 || fail "no video driver traced"
grep -q "video driver wayland (WAYLAND_DISPLAY is set)" "$work/stderr" ||
  fail "not the wayland driver: $(grep "video driver" "$work/stderr")"
wait_wl_window "$demo_title" >/dev/null || fail "no window titled $demo_title"
expect_wl_full_screen_seen "at start" "$demo_title"

rss() { awk '/^VmRSS/ {print $2}' "/proc/$demo_pid/status"; }
rss_start=$(rss)
title="$demo_title"
start=$SECONDS
for i in $(seq 20); do
  wait_wl_focus "$title" || fail "the keyboard is not on \"$title\" before F1 number $i"
  wl_tap $KEY_F1
  wait_trace "window \(switched\|re-created\)" 30 "$i" || fail "F1 number $i did not switch the window"
  title=$reopened_title
  if [ $((i % 2)) = 1 ]; then
    [ "$i" = 1 ] && expect_wl_window_seen "after F1" "$reopened_title"
    wait_wl_mode "$reopened_title" window >/dev/null || fail "no 800x600 window after F1 number $i: $(wl_windows)"
  else
    [ "$i" = 2 ] && expect_wl_full_screen_seen "after F1 twice" "$reopened_title"
    wait_wl_mode "$reopened_title" 1920 1080 >/dev/null || fail "not full screen after F1 number $i: $(wl_windows)"
  fi
  [ "$(wl_windows | wc -l)" = 1 ] || fail "more than one window after F1 number $i: $(wl_windows)"
done
echo "20 switches in $((SECONDS - start)) s; resident memory $rss_start kB at start, $(rss) kB after them"
grep -q "window re-created" "$work/stderr" && fail "the window was re-created on Wayland"
[ "$(grep -c "music stream started" "$work/stderr")" = 1 ] || fail "the music was started again"

# A key queued behind F1 is applied after the switch: F1 and M in one go.
wait_wl_focus "$reopened_title" || fail "the keyboard is not on Tove after 20 switches"
wl_tap $KEY_F1
wl_tap $KEY_M
wait_trace "window switched" 30 21 || fail "F1 number 21 did not switch the window"
wait_trace "seek M" 30 || fail "M pressed behind F1 was lost"

# The clock went on through every switch: never backwards, never held up for long, and only the
# seek jumps (by a second from T, the music time of the frame that read M: "seek M at wall W s
# ... from T s"), between the two clock lines read before and after the seek's wall time W. The
# seek's target holds until its sound is heard (SDL's dummy device: up to a 186 ms buffer and a
# callback more), so a hold at the target within half a second of W is no stall.
from=$(grep "seek M" "$work/stderr" | head -1 | sed 's/.* from \([0-9.]*\) s$/\1/')
seek_wall=$(grep "seek M" "$work/stderr" | head -1 | sed 's/.*seek M at wall \([0-9.]*\) s.*/\1/')
wait_trace "clock at wall" 10 "$(( $(grep -c "clock at wall" "$work/stderr") + 4 ))" || fail "the clock stopped"
clock_pairs | awk -v from="$from" -v seek="$seek_wall" '
  NR > 1 {
    if ($2 < music - 0.001) { print "the clock went back from " music " to " $2 " s"; bad = 1 }
    if ($2 - music > $1 - wall + 0.1 && !(wall <= seek && $1 >= seek && music <= from + 0.5 && $2 >= from + 0.9)) {
      print "the clock jumped from " music " to " $2 " s"; bad = 1 }
    atTarget = music >= from + 0.9 && music <= from + 1.1 && wall >= seek && wall <= seek + 0.5
    if ($1 - wall > 0.2 && $2 - music < 0.3 * ($1 - wall) && music > 0.5 && !atTarget) {
      print "the clock held at " music " s for " $1 - wall " s"; bad = 1 }
  }
  { wall = $1; music = $2 }
  END { exit bad }' || fail "the music clock broke across the switches"
last=$(clock_pairs | tail -1 | awk '{print $2}')
awk -v a="$last" -v b="$from" 'BEGIN { exit !(a >= b + 1.0) }' || fail "M did not seek a second ahead of $from s (now $last s)"

wait_wl_focus "$reopened_title" || fail "the keyboard is not on Tove before Escape"
wl_tap $KEY_ESC
expect_exit_zero 20
expect_no_gl_error
echo "PASS"
