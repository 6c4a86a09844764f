#!/usr/bin/env bash
# The picture's clock against what a real sound server plays, on a private PulseAudio and on a
# private PipeWire with its PulseAudio service: it holds at 0 until the server plays, then follows
# the server's own reports of what it played without standing still or jumping, through a seek,
# the stream moved to another output, and the server killed and started again (the silent clock
# covers the gap, the sound comes back at the clock's position within 2 s, and the picture slews
# onto it). Every frame's music time comes from KESTRANE_TRACE=frames (tests/e2e/clockTrace.bash).
source "$(dirname "$0")/common.bash" "$1" "$2"
source "$(dirname "$0")/clockTrace.bash"
start_x

# The demo's stream on the server, as pactl lists it (its index).
demo_stream() { pactl list short sink-inputs 2>/dev/null | awk '{print $1}' | head -1; }
seconds_since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN {printf "%.2f", b - a}'; }

# $1: the server; $3: seconds until the sound plays again after a restart; $2: how far ahead of the server's reports a frame may be, in ms (PipeWire's
# reports scatter by some milliseconds around its processing cycles; PulseAudio's by one or two).
play_through_server_faults() {
  local server=$1 stream window
  start_sound_server "$server"
  KESTRANE_TRACE=frames demo_audio=pulseaudio start_demo "$source_dir" --window
  window=$(wait_window "$demo_title" 60) || fail "$server: no window"
  wait_trace "audio output" 30 || fail "$server: no audio output chosen"
  grep -q "audio output: .*through libpulse" "$work/stderr" || fail "$server: the demo did not play through the server"
  wait_trace "server played" 30 || fail "$server: the server never reported playing the music"
  sleep 3

  # A seek: the target holds until the server plays it.
  xdotool windowfocus "$window" 2>/dev/null
  tap_key m
  sleep 2

  # The stream moved to another output while it plays.
  add_null_sink second
  stream=$(demo_stream)
  [ -n "$stream" ] || fail "$server: the demo's stream is not on the server"
  move_stream "$stream" second || fail "$server: the stream is not on the second sink:" \
    "$(pactl list short sink-inputs | tr '\t\n' ' ;')" "sinks: $(pactl list short sinks | tr '\t\n' ' ;')"
  local reports=$(grep -c "server played" "$work/stderr")
  sleep 3
  [ "$(grep -c "server played" "$work/stderr")" -gt $(( reports + 20 )) ] ||
    fail "$server: the server stopped reporting after the move"

  # The server killed, then started again: the demo is back on it within 1 s of its accepting
  # clients, and its sound plays within $3 s (a fresh PulseAudio null sink first renders the block
  # it started with, up to 2 s, before any stream; PipeWire's plays at once).
  kill_sound_server
  wait_trace "sound device lost" 10 || fail "$server: the demo did not notice the server going away"
  sleep 2
  grep -q "sound device back" "$work/stderr" && fail "$server: a device came back with no server"
  start_sound_server "$server"
  local restarted=$(date +%s.%N) back resumed
  wait_trace "sound device back" 5 || fail "$server: the demo did not come back to the new server"
  back=$(seconds_since "$restarted")
  reports=$(grep -c "server played" "$work/stderr")
  for _ in $(seq 100); do
    [ "$(grep -c "server played" "$work/stderr")" -gt "$reports" ] && break
    sleep 0.05
  done
  resumed=$(seconds_since "$restarted")
  echo "$server: back on the new server after $back s, its sound played after $resumed s"
  awk -v s="$back" 'BEGIN {exit !(s <= 1.0)}' || fail "$server: the demo came back to the server after $back s"
  awk -v s="$resumed" -v limit="$3" 'BEGIN {exit !(s <= limit)}' || fail "$server: the sound came back after $resumed s"
  sleep 3
  echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
  signal_and_expect_exit_zero TERM >/dev/null
  # KESTRANE_KEEP_TRACE=DIR keeps each run's trace there, for reading a failure.
  [ -n "${KESTRANE_KEEP_TRACE:-}" ] && mkdir -p "$KESTRANE_KEEP_TRACE" && cp "$work/stderr" "$KESTRANE_KEEP_TRACE/$server.trace"
  expect_clock_follows_sound "$server" "$2"
  grep -q "music stream moved" "$work/stderr" || fail "$server: no move was seen"
}

play_through_server_faults pulseaudio 10 4
play_through_server_faults pipewire 15 2
echo "PASS"
