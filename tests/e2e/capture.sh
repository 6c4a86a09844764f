#!/usr/bin/env bash
# Video export: exact frame counts at whole and rational rates, a soundtrack as long as the video
# and cut from the music at the frames' times, other sizes drawn natively with the aspect kept,
# sizes refused with one line and the usage, a silent track without music, and no video (nor
# temporary file) left behind when ffmpeg fails or the export is interrupted (a full disk:
# diskFaults.sh).
source "$(dirname "$0")/common.bash" "$1" "$2" || exit 1
# Everything below writes under $work only (a fake ffmpeg included): make sure it is a fresh folder.
[ -n "${work:-}" ] && [ -d "$work" ] && [ -n "${build:-}" ] || { echo "FAIL: no working folder" >&2; exit 1; }
command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null || fail "ffmpeg and ffprobe are needed"
run=$(make_data_folder music)
mkdir -p "$run/data/music"
music=$run/$music_file
export KESTRANE_DATA=$run/data
# Test music: silence up to 1.0 s, then a tone; the tone's start shows where the soundtrack was cut.
ffmpeg -v error -f lavfi -i "aevalsrc=if(gte(t\,1)\,0.5*sin(2*PI*440*t)\,0):s=44100:c=stereo:d=4" \
  -c:a libmp3lame -b:a 192k -y "$music" || fail "cannot make the test music"

capture() { (cd "$run" && exec "$build/kestrane-render" --capture "$@" >"$work/stdout" 2>"$work/stderr"); }
probe() { ffprobe -v error -select_streams "$2" -count_frames -show_entries "stream=$3" -of csv=p=0 "$1"; }
near() { awk -v a="$1" -v b="$2" -v e="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= e) }'; }
leftovers() { ls -A "$1" | grep -E '\.(part|wav)$' || true; }

# 2 s at 30 fps: 60 frames, 2.0 s of video and of audio.
capture --fps 30 --from 0 --to 2 --out "$work/a.mp4" || fail "export at 30 fps failed"
[ "$(probe "$work/a.mp4" v nb_read_frames)" = 60 ] || fail "expected 60 frames, got $(probe "$work/a.mp4" v nb_read_frames)"
[ "$(probe "$work/a.mp4" v codec_name,width,height,pix_fmt)" = "h264,800,600,yuv420p" ] || fail "not 800x600 H.264 yuv420p"
[ "$(probe "$work/a.mp4" a codec_name,sample_rate)" = "aac,44100" ] || fail "no 44100 Hz AAC track"
near "$(probe "$work/a.mp4" v duration)" 2.0 0.001 || fail "video lasts $(probe "$work/a.mp4" v duration) s"
near "$(probe "$work/a.mp4" a duration)" 2.0 0.01 || fail "audio lasts $(probe "$work/a.mp4" a duration) s"
head -c 64 "$work/a.mp4" | grep -q moov || fail "the index (moov) is not at the front"

# 30000/1001 from 0.5 s to 3 s: frames 15 to 89 (75), 2.5025 s; the tone starts at 1.0 - 0.5005 s.
capture --fps 30000/1001 --from 0.5 --to 3 --out "$work/b.mp4" || fail "export at 30000/1001 failed"
[ "$(probe "$work/b.mp4" v nb_read_frames)" = 75 ] || fail "expected 75 frames, got $(probe "$work/b.mp4" v nb_read_frames)"
[ "$(probe "$work/b.mp4" v r_frame_rate)" = 30000/1001 ] || fail "rate $(probe "$work/b.mp4" v r_frame_rate)"
near "$(probe "$work/b.mp4" a duration)" 2.5025 0.01 || fail "audio lasts $(probe "$work/b.mp4" a duration) s"
tone=$(ffmpeg -v info -nostdin -i "$work/b.mp4" -af silencedetect=n=-40dB:d=0.1 -f null - 2>&1 |
       sed -n 's/.*silence_end: \([0-9.]*\).*/\1/p' | head -1)
near "${tone:-9}" 0.4995 0.01 || fail "the tone starts at ${tone:-nothing} s in the video, expected 0.4995 s"

# --size draws natively at that size: the 4:3 picture fitted into 1280x720, centred on black.
capture --fps 30 --from 10 --to 10.5 --size 1280x720 --out "$work/c.mp4" || fail "scaled export failed"
[ "$(probe "$work/c.mp4" v width,height,nb_read_frames)" = "1280,720,15" ] || fail "scaled: $(probe "$work/c.mp4" v width,height,nb_read_frames)"
luma_max() {
  ffmpeg -v info -nostdin -i "$work/c.mp4" -frames:v 1 -vf "crop=$1,signalstats,metadata=print:key=lavfi.signalstats.YMAX" \
    -f null - 2>&1 | sed -n 's/.*YMAX=\([0-9]*\).*/\1/p' | head -1
}
[ "$(luma_max 150:720:0:0)" -le 20 ] || fail "the left bar of a 16:9 export is not black"
[ "$(luma_max 150:720:1130:0)" -le 20 ] || fail "the right bar of a 16:9 export is not black"
[ "$(luma_max 960:720:160:0)" -gt 20 ] || fail "the picture of a 16:9 export is black"

# Without music: a silent track of the right length, and a warning.
mv "$music" "$work/music.mp3"
capture --fps 30 --from 0 --to 2 --out "$work/d.mp4" || fail "export without music failed"
grep -q "silent track" "$work/stderr" || fail "no warning about the missing music"
near "$(probe "$work/d.mp4" a duration)" 2.0 0.01 || fail "silent audio lasts $(probe "$work/d.mp4" a duration) s"
mv "$work/music.mp3" "$music"

# Bad requests are refused before anything is written.
capture --fps 0 --out "$work/e.mp4"; [ $? -eq 2 ] || fail "--fps 0 not refused"
capture --from 100 --to 210 --out "$work/e.mp4"; [ $? -eq 2 ] || fail "--to past 203 s not refused"
capture --size 801x600 --out "$work/e.mp4"; [ $? -eq 2 ] || fail "odd --size not refused"
capture --size 65536x48 --out "$work/e.mp4"; [ $? -eq 2 ] || fail "a --size beyond the GL limits not refused"
# A refusal is one line, then the usage.
one_line_and_usage() { [ "$(grep -c "^kestrane-render: " "$work/stderr")" -eq 1 ] && grep -q "^usage:" "$work/stderr"; }
grep -q "larger than this GL implementation draws" "$work/stderr" && one_line_and_usage ||
  fail "no one-line message for a --size beyond the GL limits: $(cat "$work/stderr")"
for size in 63x48 64x47 640 1920x1080x2; do
  (cd "$run" && exec "$build/kestrane-render" --time 1 --size "$size" --out "$work/png" 2>"$work/stderr"); rc=$?
  [ $rc -eq 2 ] && one_line_and_usage || fail "PNG --size $size: exit $rc, $(cat "$work/stderr")"
done
[ ! -e "$work/png" ] || fail "a refused PNG --size made its output folder"
capture --from 0 --to 1 --out "$work/missing/e.mp4"; [ $? -eq 1 ] || fail "a missing folder is not an error"
grep -q "cannot write" "$work/stderr" || fail "no message for a missing folder"
[ ! -e "$work/e.mp4" ] || fail "a refused export wrote a file"

# ffmpeg fails midway: a message, exit 1, the old file untouched and nothing left beside it.
mkdir -p "$work/bin" "$work/out"
printf '#!/bin/sh\nhead -c 3000000 >/dev/null\necho "fake ffmpeg: giving up" >&2\nexit 3\n' >"$work/bin/ffmpeg"
chmod +x "$work/bin/ffmpeg"
echo old >"$work/out/v.mp4"
PATH="$work/bin:$PATH" capture --fps 30 --from 0 --to 2 --out "$work/out/v.mp4"; rc=$?
[ $rc -eq 1 ] || fail "exit $rc when ffmpeg fails, expected 1"
grep -q "ffmpeg failed with exit status 3" "$work/stderr" || fail "no message naming ffmpeg's failure"
[ "$(cat "$work/out/v.mp4")" = old ] || fail "the existing video was replaced by a failed export"
[ -z "$(leftovers "$work/out")" ] || fail "temporary files left: $(leftovers "$work/out")"

# Ctrl+C and kill during a long export: exit 128 + signal, no video, no temporary file, no ffmpeg.
for sig in INT TERM; do
  rm -f "$work/stderr"  # the progress looked for below must be this run's, not the last one's
  (cd "$run" && exec "$build/kestrane-render" --capture --from 0 --to 120 --out "$work/out/s.mp4" \
     >"$work/stdout" 2>"$work/stderr") &
  pid=$!
  for _ in $(seq 600); do grep -q "frames" "$work/stderr" 2>/dev/null && break; sleep 0.1; done
  grep -q "frames" "$work/stderr" ||
    fail "the long export shows no progress before SIG$sig ($(kill -0 "$pid" 2>/dev/null && echo running || echo ended))"
  kill -s "$sig" "$pid"
  wait "$pid"; rc=$?
  want=$(( 128 + $(kill -l "$sig") ))
  [ $rc -eq $want ] || fail "exit $rc after SIG$sig, expected $want"
  grep -q "nothing was written" "$work/stderr" || fail "no message after SIG$sig"
  [ ! -e "$work/out/s.mp4" ] || fail "SIG$sig left a video"
  [ -z "$(leftovers "$work/out")" ] || fail "SIG$sig left $(leftovers "$work/out")"
  pgrep -f "$work/out/s.mp4" >/dev/null && fail "ffmpeg still runs after SIG$sig"
done

echo "PASS"
