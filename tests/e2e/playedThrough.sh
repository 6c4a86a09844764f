#!/usr/bin/env bash
# The offline renderer draws the demo's frame played from the start: a call that renders one time
# alone, and one that renders the times in reverse order, give the same frames as one sequence
# played from 150 s, where the white clear colour, the tunnel's fog range and the kept glitch value
# reach them frame by frame.
source "$(dirname "$0")/common.bash" || exit 1
render() { (cd "$source_dir" && exec "$build/kestrane-render" "$@" >"$work/stdout" 2>"$work/stderr"); }
# The golden frames' tolerance: a pixel differs beyond 6 %, a frame may differ in 1 % of its pixels.
same() {
  local differing
  differing=$(compare -metric AE -fuzz 6% "$1" "$2" null: 2>&1 >/dev/null) || [ $? -eq 1 ] || fail "cannot compare $1: $differing"
  differing=${differing%%.*}
  [ "$differing" -le 4800 ] || { echo "$differing of 480000 pixels differ" >&2; return 1; }
}

times=(168.5 175 183.0 190 200)
render --from 150 --to 200 --fps 10 --out "$work/sequence" || fail "the sequence from 150 s failed"
reversed=()
for t in "${times[@]}"; do
  reversed=(--time "$t" "${reversed[@]}")
  render --time "$t" --fps 10 --out "$work/alone-$t" || fail "--time $t failed"
done
render "${reversed[@]}" --fps 10 --out "$work/reversed" || fail "the times in reverse order failed"

for t in "${times[@]}"; do
  name=$(printf 't%.3f.png' "$t")
  [ -f "$work/sequence/$name" ] || fail "the sequence has no $name"
  same "$work/sequence/$name" "$work/alone-$t/$name" || fail "$name alone differs from the sequence's"
  same "$work/sequence/$name" "$work/reversed/$name" || fail "$name in reverse order differs from the sequence's"
done

# A sequence and a video that start inside the white-sprite stretch start on the played-through
# frame too (the video's first frame decoded, so compared by brightness only).
render --from 175 --to 175.2 --fps 10 --out "$work/late-start" || fail "the sequence from 175 s failed"
same "$work/sequence/t175.000.png" "$work/late-start/t175.000.png" || fail "a sequence from 175 s starts on another frame"
if command -v ffmpeg >/dev/null; then
  render --capture --from 175 --to 175.2 --fps 10 --out "$work/late.mp4" || fail "the video from 175 s failed"
  ffmpeg -v error -nostdin -i "$work/late.mp4" -frames:v 1 -y "$work/late-first.png" || fail "cannot decode the video"
  first=$(convert "$work/late-first.png" -colorspace gray -format '%[fx:int(mean*255)]' info:)
  want=$(convert "$work/sequence/t175.000.png" -colorspace gray -format '%[fx:int(mean*255)]' info:)
  [ $((first - want)) -le 4 ] && [ $((want - first)) -le 4 ] ||
    fail "the video from 175 s starts at brightness $first, the played-through frame has $want"
fi

# What the scenes leave is what makes these frames: white behind the fade at 168.5 s and the
# sprites at 175 s (a fresh start would clear them black).
mean() { convert "$1" -colorspace gray -format '%[fx:int(mean*255)]' info:; }
[ "$(mean "$work/alone-175/t175.000.png")" -gt 50 ] || fail "175 s is not white behind the sprites"
echo "PASS"
