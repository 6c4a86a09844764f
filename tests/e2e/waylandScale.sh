#!/usr/bin/env bash
# Under Weston at scale 2 (a 3840x2160 output, a 1920x1080 desktop): the 800x600 window's picture
# holds 1600x1200 pixels and is drawn natively, as sharp as kestrane-render's 1600x1200 frame of
# the same music time (its finest detail as a native frame's, not as an enlarged 800x600 frame's); full screen (F1) has
# the picture at 2880x2160 between black pillars of 480 columns.
source "$(dirname "$0")/common.bash" "$1" "$2"
source "$(dirname "$0")/screen.bash"
source "$(dirname "$0")/weston.bash"
start_weston 1920 1080 --scale=2
[ "$(weston_ask outputs)" = "output 0 0 1920 1080 2" ] || fail "Weston's output: $(weston_ask outputs)"
export KESTRANE_TRACE=frames
start_demo "$source_dir" --window
wait_wl_window "$demo_title" >/dev/null || fail "no window titled $demo_title"
expect_wl_window_seen "at scale 2" "$demo_title" 2
read -r x top <<<"$window_rect"

# The frame on screen: the last one presented before the shot (the title card over the water;
# a frame or two off changes little of it), compared with offline frames of its music time.
wait_trace "frame at wall .* music [3-9]\." 60 || fail "no frame after 3 s of music"
frames_before=$(grep -c "^kestrane-trace: frame at" "$work/stderr")
shot
time=$(grep "^kestrane-trace: frame at" "$work/stderr" | head -"$frames_before" | tail -1 |
  sed 's/.* music \([0-9.]*\) s presented.*/\1/')
convert "$work/shot.png" -crop "1600x1200+$((x * 2))+$((top * 2))" +repage "$work/seen.png"
"$build/kestrane-render" --time "$time" --size 1600x1200 --out "$work/native" >/dev/null 2>"$work/render.err" ||
  fail "kestrane-render --time $time --size 1600x1200 failed: $(tail -3 "$work/render.err")"
"$build/kestrane-render" --time "$time" --out "$work/small" >/dev/null 2>"$work/render.err" ||
  fail "kestrane-render --time $time failed: $(tail -3 "$work/render.err")"
convert "$work"/small/*.png -filter Triangle -resize 1600x1200 "$work/enlarged.png"
# Two measures of the finest detail, in grey: what a 2x2 box average and a bilinear enlargement
# lose (an image the compositor enlarged bilinearly from 800x600 keeps under half of a native
# frame's), and what a 2x2 box average repeated over its block loses (nothing for an image
# enlarged by repeating pixels).
smooth_detail() {
  convert "$1" -colorspace Gray \( +clone -filter Box -resize 50% -filter Triangle -resize 200% \) \
    -compose Difference -composite -format '%[fx:mean]' info:
}
block_detail() {
  convert "$1" -colorspace Gray \( +clone -filter Box -resize 50% -filter Point -resize 200% \) \
    -compose Difference -composite -format '%[fx:mean]' info:
}
native=$(ls "$work"/native/*.png)
seen_smooth=$(smooth_detail "$work/seen.png") native_smooth=$(smooth_detail "$native")
seen_block=$(block_detail "$work/seen.png") native_block=$(block_detail "$native")
echo "music time $time s: detail seen $seen_smooth / $seen_block, native frame $native_smooth / $native_block," \
  "800x600 frame enlarged $(smooth_detail "$work/enlarged.png") / $(block_detail "$work/enlarged.png")"
awk -v s="$seen_smooth" -v n="$native_smooth" -v sb="$seen_block" -v nb="$native_block" \
  'BEGIN { exit !(s >= 0.75 * n && sb >= 0.5 * nb) }' ||
  fail "the window's picture has less fine detail than the native 1600x1200 frame: enlarged, not drawn natively"

wait_wl_focus "$demo_title" || fail "the keyboard is not on the window"
wl_tap $KEY_F1
expect_wl_full_screen_seen "at scale 2" "$reopened_title" 2
wait_wl_focus "$reopened_title" || fail "the keyboard is not on Tove"
wl_tap $KEY_ESC
expect_exit_zero 20
expect_no_gl_error
echo "PASS"
