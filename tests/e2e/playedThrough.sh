#!/usr/bin/env bash
# The offline renderer draws the demo's frame played from the start: every whole second of the run,
# rendered as one sequence from 0 s, as --time frames in reverse order in one call, and alone, gives
# byte-identical frames (the white clear colour, the tunnel's fog range and the kept glitch value
# reach each of them frame by frame, whatever was drawn before).
source "$(dirname "$0")/common.bash" "$1" "$2" || exit 1
render() { (cd "$source_dir" && exec "$build/kestrane-render" "$@" >"$work/stdout" 2>"$work/stderr"); }
same() { cmp -s "$1" "$2" || { echo "$2 is not byte-identical to $1" >&2; return 1; }; }

render --from 0 --to 203 --fps 1 --out "$work/sequence" || fail "the sequence from 0 s failed"
reversed=()
for t in $(seq 203 -1 0); do reversed+=(--time "$t"); done
render "${reversed[@]}" --fps 1 --out "$work/reversed" || fail "the times in reverse order failed"
for t in $(seq 0 203); do
  name=$(printf 't%.3f.png' "$t")
  [ -f "$work/sequence/$name" ] || fail "the sequence has no $name"
  same "$work/sequence/$name" "$work/reversed/$name" || fail "$name in reverse order differs from the sequence's"
done
for t in 175 190; do
  render --time "$t" --fps 1 --out "$work/alone-$t" || fail "--time $t failed"
  name=$(printf 't%.3f.png' "$t")
  same "$work/sequence/$name" "$work/alone-$t/$name" || fail "$name alone differs from the sequence's"
done

# A sequence and a video that start inside the white-sprite stretch start on the played-through
# frame too (the video's first frame decoded, so compared by brightness only).
render --from 175 --to 176 --fps 1 --out "$work/late-start" || fail "the sequence from 175 s failed"
same "$work/sequence/t175.000.png" "$work/late-start/t175.000.png" || fail "a sequence from 175 s starts on another frame"
if command -v ffmpeg >/dev/null; then
  render --capture --from 175 --to 176 --fps 1 --out "$work/late.mp4" || fail "the video from 175 s failed"
  ffmpeg -v error -nostdin -i "$work/late.mp4" -frames:v 1 -y "$work/late-first.png" || fail "cannot decode the video"
  first=$(convert "$work/late-first.png" -colorspace gray -format '%[fx:int(mean*255)]' info:)
  want=$(convert "$work/sequence/t175.000.png" -colorspace gray -format '%[fx:int(mean*255)]' info:)
  [ $((first - want)) -le 4 ] && [ $((want - first)) -le 4 ] ||
    fail "the video from 175 s starts at brightness $first, the played-through frame has $want"
fi

# What the scenes leave is what makes these frames: white behind the
# sprites at 175 s (a fresh start would clear them black).
mean() { convert "$1" -colorspace gray -format '%[fx:int(mean*255)]' info:; }
[ "$(mean "$work/alone-175/t175.000.png")" -gt 50 ] || fail "175 s is not white behind the sprites"
echo "PASS"
