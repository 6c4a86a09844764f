#!/usr/bin/env bash
# The demo through a real sound server (a null sink on PulseAudio, then on PipeWire's PulseAudio
# service). Killed mid-run, the server takes no music time with it: the picture's clock goes on from where it was in real time (within 0.2 s
# of the wall clock), and the presentation still plays to its end with exit code 0. With no server
# at start, the silent clock runs from the first frame.
source "$(dirname "$0")/common.bash" "$1" "$2"
export KESTRANE_TRACE=1
demo_audio=pulseaudio
start_x

# Fails unless every clock line from line $1 on moves with the wall clock from the line before it
# (line $1 - 1), within $2 seconds; prints the largest difference.
expect_clock_follows_wall() {
  clock_pairs $(( $1 - 1 )) | awk -v limit="$2" -v what="$3" '
    NR == 1 { w0 = $1; t0 = $2; next }
    { d = ($2 - t0) - ($1 - w0); if (d < 0) d = -d; if (d > worst) worst = d; n++ }
    END { printf "%s: %d clock lines, music off the wall clock by at most %.3f s\n", what, n, worst
          exit (n < 4 || worst > limit) }' || fail "$3: the music clock left the wall clock"
}

# 1. Server killed mid-run, on PulseAudio and on PipeWire's PulseAudio service.
kill_mid_run() {
  local server=$1 before win
  start_sound_server "$server"
  start_demo "$source_dir" --window
  win=$(wait_window "$demo_title") || fail "$server: no window"
  wait_trace "clock at wall" 30 12 || fail "$server: no frames"
  pactl list short sink-inputs | grep -q . || fail "$server: the demo plays no stream through the server"
  # The kill follows a fresh clock line at once, so that the line is the music's position at the kill.
  before=$(( $(grep -c "clock at wall" "$work/stderr") + 1 ))
  wait_trace "clock at wall" 30 "$before" || fail "$server: no frames"
  kill_sound_server
  wait_trace "sound device lost" 10 || fail "$server: the demo did not notice the server going away"
  wait_trace "clock at wall" 30 $(( before + 16 )) || fail "$server: no frames after the server went away"
  expect_clock_follows_wall $(( before + 1 )) 0.2 "$server killed"
  xdotool windowfocus "$win"
  xdotool keydown m
  expect_exit_zero 200
  xdotool keyup m
  grep -q "loop ended (end of presentation)" "$work/stderr" || fail "$server: the presentation did not reach its end"
}
kill_mid_run pulseaudio
kill_mid_run pipewire

# 2. No server at start: the silent clock from the first frame.
isolate_pulse
start_demo "$source_dir" --window
win=$(wait_window "$demo_title") || fail "no window without a server"
wait_trace "clock at wall" 30 12 || fail "no frames without a server"
# The silent clock is the wall clock; each trace line reads both within 2 ms of each other.
expect_clock_follows_wall 2 0.02 "no server"
first=$(clock_pairs | head -1 | awk '{print $2}')
awk -v t="$first" 'BEGIN { exit !(t < 1.0) }' || fail "the first frame's music time is $first s"
grep -q "sound device lost" "$work/stderr" && fail "a device was opened without a server"
xdotool windowfocus "$win"
tap_key Escape
expect_exit_zero 20
echo "PASS"
