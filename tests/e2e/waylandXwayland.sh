#!/usr/bin/env bash
# Under Weston with Xwayland (DISPLAY and WAYLAND_DISPLAY both set): the demo still chooses the
# wayland driver; SDL_VIDEODRIVER=x11 runs it through Xwayland, where F1 really re-creates the
# window (full screen, then the 800x600 window again, both titled Tove) and Escape ends with exit
# code 0; a Wayland session whose compositor cannot be reached falls back to x11, and so does one
# whose compositor offers no seat (SDL's wayland driver would crash in its start), said on one line.
source "$(dirname "$0")/common.bash" "$1" "$2"
source "$(dirname "$0")/screen.bash"
source "$(dirname "$0")/weston.bash"
command -v Xwayland >/dev/null || skip "no Xwayland"
start_weston 1920 1080 --xwayland
DISPLAY=$(xwayland_display) || fail "Weston started no Xwayland"
export DISPLAY KESTRANE_TRACE=1

# Both sessions offered: wayland.
start_demo "$source_dir" --window
wait_trace "video driver" 20 || fail "no video driver traced"
grep -q "video driver wayland (WAYLAND_DISPLAY is set)" "$work/stderr" ||
  fail "not the wayland driver with DISPLAY set too: $(grep "video driver" "$work/stderr")"
wait_wl_window "$demo_title" >/dev/null || fail "no window titled $demo_title"
signal_and_expect_exit_zero TERM >/dev/null

# No compositor at WAYLAND_DISPLAY: x11, said so.
WAYLAND_DISPLAY=kestrane-missing start_demo "$source_dir" --window
wait_trace "video driver x11 (wayland could not start)" 30 ||
  fail "no fallback to x11: $(grep "video driver" "$work/stderr")"
wait_wl_window "$demo_title" >/dev/null || fail "no window through Xwayland"
signal_and_expect_exit_zero TERM >/dev/null

# A second, bare Weston (no seat: our module not loaded): x11 through the first one's Xwayland.
weston --backend=headless-backend.so --use-pixman --idle-time=0 --socket=kestrane-seatless \
  --width=800 --height=600 >"$work/weston-seatless.log" 2>&1 &
seatless_pid=$!
at_exit end_process "$seatless_pid" 30
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/kestrane-seatless" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/kestrane-seatless" ] || fail "the seatless Weston did not start"
no_seat_line="kestrane: the Wayland compositor offers no wl_seat, which SDL's wayland driver needs"
WAYLAND_DISPLAY=kestrane-seatless start_demo "$source_dir" --window
wait_trace "video driver x11 (wayland could not start)" 30 ||
  fail "no fallback to x11 without a seat: $(grep -v "^kestrane-trace: clock" "$work/stderr" | head -5)"
grep -qxF "$no_seat_line; trying x11" "$work/stderr" || fail "the missing seat was not said"
wait_wl_window "$demo_title" >/dev/null || fail "no window through Xwayland without a seat"
signal_and_expect_exit_zero TERM >/dev/null
# No X display either, with SDL_VIDEODRIVER unset, set empty (SDL would then try every driver after
# x11, wayland among them, had the fallback not overridden it) or forced to wayland: the line, then
# the error box or nothing, and no crash; a stop ends what still runs.
for forced in unset "" wayland; do
  if [ "$forced" = unset ]; then driver=(-u SDL_VIDEODRIVER); else driver=(SDL_VIDEODRIVER="$forced"); fi
  (cd "$source_dir" && exec env -u DISPLAY "${driver[@]}" WAYLAND_DISPLAY=kestrane-seatless SDL_AUDIODRIVER=dummy \
    "$build/kestrane" --window >"$work/stdout" 2>"$work/stderr") &
  demo_pid=$!
  wait_trace "^$no_seat_line" 20 || fail "SDL_VIDEODRIVER $forced, no X display: $(head -3 "$work/stderr")"
  sleep 1
  if kill -0 "$demo_pid" 2>/dev/null; then
    signal_and_expect_exit_zero TERM >/dev/null
  else
    wait "$demo_pid"
    rc=$?
    demo_pid=""
    [ "$rc" -lt 128 ] || fail "SDL_VIDEODRIVER $forced, no X display: exit code $rc"
  fi
done
end_process "$seatless_pid" 30

# Forced x11: F1 re-creates the window.
SDL_VIDEODRIVER=x11 start_demo "$source_dir" --window
wait_trace "video driver x11 (SDL_VIDEODRIVER is set: x11)" 30 ||
  fail "SDL_VIDEODRIVER=x11 did not win: $(grep "video driver" "$work/stderr")"
expect_wl_window_seen "through Xwayland" "$demo_title"
title=$demo_title
for i in 1 2; do
  wait_wl_focus "$title" || fail "the keyboard is not on \"$title\" before F1 number $i"
  wl_tap $KEY_F1
  wait_trace "window re-created" 30 "$i" || fail "F1 number $i did not re-create the window"
  title=$reopened_title
done
grep -q "window switched" "$work/stderr" && fail "the x11 window was switched, not re-created"
expect_wl_window_seen "re-created twice through Xwayland" "$reopened_title"
[ "$(wl_windows | wc -l)" = 1 ] || fail "more than one window: $(wl_windows)"
wait_wl_focus "$reopened_title" || fail "the keyboard is not on Tove"
wl_tap $KEY_ESC
expect_exit_zero 20
expect_no_gl_error
echo "PASS"
