#!/usr/bin/env bash
# The private sound servers of the whole-program tests, PulseAudio and PipeWire: a 3 s two-tone
# signal played into the null sink "out" is recorded whole from its monitor; killed, the server's
# clients see it go; restarted, it plays again; a playing stream moves to a second null sink.
# Prints start times, recorded length against wall time and pactl's latency of a playing stream.
source "$(dirname "$0")/common.bash" "$1" "$2"
clients=""
at_exit 'for p in $clients; do kill "$p" 2>/dev/null; done'

rate=44100
bytes_per_second=$(( rate * 4 ))
# 1000 Hz left, 1500 Hz right (amplitude 1/8): a swapped, lost or silent channel shows.
ffmpeg -v error -f lavfi -i "sine=frequency=1000:duration=3:sample_rate=$rate" \
  -f lavfi -i "sine=frequency=1500:duration=3:sample_rate=$rate" \
  -filter_complex "[0][1]join=inputs=2:channel_layout=stereo" -c:a pcm_s16le "$work/tone.wav" ||
  fail "no test signal"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Records sink monitor $1 (s16le stereo 44.1 kHz) into $2 in the background; sets recorder.
# A short latency keeps parec's fragments small: with the server's default (about 2 s) the last
# fragment is lost when parec is stopped, and the recording looks shorter than it was.
start_recording() {
  parec -d "$1" --rate=$rate --channels=2 --format=s16le --latency-msec=20 >"$2" \
    2>"$work/parec.log" &
  recorder=$!
  clients="$clients $recorder"
}
stop_recording() {
  kill "$recorder" 2>/dev/null
  wait "$recorder" 2>/dev/null
}

# Fails unless raw recording $1 holds the test signal, 1000 Hz left and 1500 Hz right within 1 %,
# for at least $2 s on each side. Periods are the spans between upward zero crossings (with a
# hysteresis above the silence); the most common one and its neighbours (within 2 samples) make the
# frequency, and their sum the tone's length, so that a short dropout under load counts as lost time
# but does not bend the frequency. $3 names the step, $4 the monitor.
expect_tone() {
  od -An -v -t d2 -w4 "$1" | awk -v rate=$rate -v min="$2" -v what="$3" '
    { for (c = 1; c <= 2; c++) {
        x = $c
        if (x > peak) peak = x
        if (x > 800 && state[c] < 0) {
          if (last[c]) periods[c, NR - last[c]]++
          last[c] = NR
        }
        if (x > 800) state[c] = 1
        else if (x < -800) state[c] = -1
      } }
    END {
      for (c = 1; c <= 2; c++) {
        mode = 0
        for (p = 1; p < 1000; p++) if (periods[c, p] > periods[c, mode]) mode = p
        count = samples = 0
        for (p = mode - 2; p <= mode + 2; p++) {
          count += periods[c, p]
          samples += p * periods[c, p]
        }
        f[c] = samples ? count * rate / samples : 0
        seconds[c] = samples / rate
      }
      printf "%s: left %.1f Hz for %.2f s, right %.1f Hz for %.2f s, peak %d\n", what, f[1],
        seconds[1], f[2], seconds[2], peak
      exit !(f[1] > 990 && f[1] < 1010 && f[2] > 1485 && f[2] < 1515 && seconds[1] >= min &&
             seconds[2] >= min)
    }' || fail "$3: the recording of $4 does not hold the test signal"
}

# Plays the test signal into "out" while recording its monitor; checks the recording. $1 names the
# step. Prints the recording's length against the wall time it took. The players ask for 200 ms of
# latency: with its default of 2 s, PulseAudio's null sink renders that far ahead, so a stream
# moved to another sink would leave most of its sound on the first.
play_and_check() {
  local start end
  start=$(now_ms)
  start_recording out.monitor "$work/out.raw"
  paplay -d out --latency-msec=200 "$work/tone.wav" 2>"$work/paplay.log" ||
    fail "$1: paplay failed: $(cat "$work/paplay.log")"
  sleep 0.3
  stop_recording
  end=$(now_ms)
  echo "$1: $(( $(stat -c %s "$work/out.raw") * 1000 / bytes_per_second )) ms recorded in" \
    "$(( end - start )) ms"
  expect_tone "$work/out.raw" 2.5 "$1" out.monitor
}

# Waits up to 5 s until exactly one stream plays; prints its sink input's index.
one_sink_input() {
  for _ in $(seq 50); do
    if [ "$(pactl list short sink-inputs | wc -l)" -eq 1 ]; then
      pactl list short sink-inputs | cut -f1
      return 0
    fi
    sleep 0.1
  done
  return 1
}

sink_index() { pactl list short sinks | awk -v name="$1" '$2 == name {print $1}'; }
# The index of the sink the only playing stream is on.
stream_sink() { pactl list short sink-inputs | cut -f2; }

for server in pulseaudio pipewire; do
  start=$(now_ms)
  start_sound_server "$server"
  echo "$server: accepts clients with the sink \"out\" after $(( $(now_ms) - start )) ms"
  play_and_check "$server, just started"

  # A crash: a playing client must lose its server.
  pacat -d out --rate=$rate --channels=2 --format=s16le </dev/zero 2>"$work/pacat.log" &
  player=$!
  clients="$clients $player"
  one_sink_input >/dev/null || fail "$server: pacat's stream did not appear"
  kill_sound_server
  for _ in $(seq 30); do kill -0 "$player" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$player" 2>/dev/null && fail "$server: a playing client did not notice the server's end"
  wait "$player"
  [ $? -ne 0 ] || fail "$server: pacat ended with 0 after the server was killed"
  pactl info >/dev/null 2>&1 && fail "$server: pactl still reaches a killed server"
  echo "$server killed: pacat ended with \"$(tail -1 "$work/pacat.log")\""

  restart_sound_server
  play_and_check "$server, restarted"

  # A playing stream moved to a second sink plays there.
  add_null_sink second
  sink_is_default out || fail "$server: a new sink took the default from \"out\""
  start_recording second.monitor "$work/second.raw"
  paplay -d out --latency-msec=200 "$work/tone.wav" &
  player=$!
  clients="$clients $player"
  input=$(one_sink_input) || fail "$server: paplay's stream did not appear"
  [ "$(stream_sink)" = "$(sink_index out)" ] || fail "$server: the stream is not on \"out\""
  pactl list sink-inputs | grep -i latency | sed "s/^[[:space:]]*/$server: /"
  move_stream "$input" second || fail "$server: the stream is not on \"second\""
  wait "$player" || fail "$server: paplay failed after the move"
  sleep 0.3
  stop_recording
  expect_tone "$work/second.raw" 2.0 "$server, moved" second.monitor
  stop_sound_server
done
echo "PASS"
