#!/usr/bin/env bash
# kestrane.exe's music under Wine, heard: SDL's Windows audio (WASAPI) plays into Wine's PulseAudio
# driver, pointed at the test's private PulseAudio server; 20 s of the null sink's monitor,
# recorded with parec, must hold the music, found block by block (kestrane-musicfound: at least
# 20 blocks of 93 ms found, nine in ten of them following on in the music, over at least 5 s of
# it). Whole music with no dropout, as the Linux sound tests ask, is not required: Wine's driver
# runs the stream on 20 ms of buffer, and on a loaded machine it underruns about once a second
# (kestrane-soundcheck then finds no 1.5 s stretch to start its alignment from).
source "$(dirname "$0")/../e2e/common.bash" "$1" "$2"
source "$(dirname "$0")/wine.bash"
[ -x "$build/tests/kestrane-musicfound" ] || fail "kestrane-musicfound is not built"
start_x
start_sound_server pulseaudio
make_prefix
KESTRANE_TRACE=1 start_windows_demo "$package" --window
wait_trace "clock at wall" 60 8 || fail "no frames traced"
parec -d out.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20 >"$work/monitor.raw" &
recorder=$!
sleep 20
kill "$recorder"
wait "$recorder" 2>/dev/null
grep -m1 "audio output" "$work/stderr"
win=$(wait_window "$demo_title" 5) || fail "no window titled $demo_title"
hold_key "$win" Escape
expect_exit_zero 30
release_key Escape
found=$("$build/tests/kestrane-musicfound" "$source_dir/$music_file" "$work/monitor.raw") ||
  fail "the recording cannot be read"
echo "$found"
read -r _ _ loud _ blocks _ _ ordered _ first _ last _ <<<"$found"
awk -v b="$blocks" -v o="$ordered" -v f="$first" -v l="$last" \
  'BEGIN {exit !(b >= 20 && o >= 0.9 * (b - 1) && l - f >= 5)}' ||
  fail "the music was not found on the sink ($blocks of $loud loud blocks, $ordered in order, $first to $last s)"
echo "PASS"
