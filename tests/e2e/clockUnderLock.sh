#!/usr/bin/env bash
# The music clock does not run ahead when the main thread waits for the sound server's lock
# (tests/e2e/clockUnderLock.cpp), on a private PulseAudio and on PipeWire's PulseAudio service; and
# a server name that arrives after opening stopped waiting for it is no race with the main thread.
source "$(dirname "$0")/common.bash" "$1" "$2"
music=$source_dir/$music_file
[ -f "$music" ] || skip "no music file (scripts/setup generates it)"
for server in pulseaudio pipewire; do
  start_sound_server "$server"
  out=$("$build/tests/e2e-clock-under-lock" "$music" 2>&1)
  rc=$?
  echo "$server: $out"
  [ "$rc" -eq 0 ] || fail "$server: the clock ran ahead while the lock was held (exit $rc)"
  out=$("$build/tests/e2e-clock-under-lock" --late-name 2>&1)
  rc=$?
  echo "$server, late name: $out"
  [ "$rc" -eq 0 ] || fail "$server: the late server name reached the main thread's text (exit $rc)"
  stop_sound_server
done
echo "PASS"
