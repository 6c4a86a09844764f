#!/usr/bin/env bash
# kestrane.exe's music under Wine, heard: SDL's Windows audio plays into Wine's PulseAudio driver,
# pointed at the test's private PulseAudio server; 20 s of the null sink's monitor, recorded with
# parec, are aligned with the music window by window (kestrane-soundcheck, as the Linux sound
# tests do) and must hold the music with no dropout or discontinuity over 5 ms.
source "$(dirname "$0")/../e2e/common.bash"
source "$(dirname "$0")/wine.bash"
[ -x "$build/tools/soundcheck/kestrane-soundcheck" ] || fail "kestrane-soundcheck is not built"
start_x
start_sound_server pulseaudio
make_prefix
# Wine's audio driver is winepulse.drv; SDL picks its WASAPI driver on top of it.
KESTRANE_TRACE=1 start_windows_demo "$package" --window
wait_trace "clock at wall" 60 8 || fail "no frames traced"
parec -d out.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20 >"$work/monitor.raw" &
recorder=$!
sleep 20
kill "$recorder"
wait "$recorder" 2>/dev/null
grep -m1 "audio output" "$work/stderr"
win=$(wait_window "Vel - Kestrane" 5) || fail "no window titled Vel - Kestrane"
hold_key "$win" Escape
expect_exit_zero 30
release_key Escape
"$build/tools/soundcheck/kestrane-soundcheck" "$source_dir/data/music/ivo_marenk_-_kestrane.mp3" \
  "$work/monitor.raw" | tee "$work/soundcheck.txt"
heard=$(awk '/^music .* to .* s;/ {printf "%.1f", $4 - $2}' "$work/soundcheck.txt")
awk -v h="${heard:-0}" 'BEGIN {exit !(h >= 15)}' || fail "only ${heard:-no} s of the music heard in 20 s of recording"
grep -q "^disruptions over 5 ms: 0 " "$work/soundcheck.txt" || fail "the music was disrupted on the sink"
echo "PASS"
