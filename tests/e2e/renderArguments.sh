#!/usr/bin/env bash
# The offline renderer's arguments and PNG files: every bad number refused in every mode (exit 2, the
# argument and its value named, the usage, nothing made), times past the end among them, frames of
# the size asked for whatever SDL_VIDEODRIVER says, a missing output folder created and an
# unwritable one an error (full disks: diskFaults.sh).
source "$(dirname "$0")/common.bash" "$1" "$2" || exit 1
render() { (cd "$source_dir" && exec timeout 120 "$build/kestrane-render" "$@" >"$work/stdout" 2>"$work/stderr"); }

# refused OPTION VALUE ARGS...: the call must exit 2, name OPTION and 'VALUE', print the usage and
# leave no output folder.
refused() {
  local option=$1 value=$2 rc
  shift 2
  rm -rf "$work/out"
  render "$@"; rc=$?
  [ $rc -eq 2 ] || fail "$* gave exit $rc, expected 2"
  grep -qF -- "$option '$value'" "$work/stderr" || fail "$* does not name $option '$value'"
  grep -q "^usage:" "$work/stderr" || fail "$* prints no usage"
  [ ! -e "$work/out" ] && [ ! -e "$work/e.mp4" ] || fail "$* made an output"
}
for bad in abc nan inf -inf 1e300 "" 5s -0.5 1.0001 " 5" 0x10; do
  refused --time "$bad" --time "$bad" --out "$work/out"
done
refused --from nan --from nan --to nan --fps 10 --out "$work/out"
refused --to 1e300 --from 0 --to 1e300 --fps 10 --out "$work/out"
for bad in 0 abc 1001 1/2 2001/2 10/0 " 60" +60 60.0 30000/ 99999999; do
  refused --fps "$bad" --time 10 --fps "$bad" --out "$work/out"
  refused --fps "$bad" --capture --fps "$bad" --from 0 --to 1 --out "$work/e.mp4"
done
refused --from abc --capture --from abc --to 1 --out "$work/e.mp4"
refused --to 1e300 --capture --from 0 --to 1e300 --out "$work/e.mp4"
refused --to 210 --capture --from 0 --to 210 --out "$work/e.mp4"
refused --out "" --time 10 --out ""

# --help says what a frame is, on standard output, with exit 0.
render --help || fail "--help gave exit $?"
grep -q "played from the start" "$work/stdout" || fail "--help does not say what a frame is"

# Rates from 1 to 1000 fps are taken, fractions included.
render --time 10 --fps 1000 --out "$work/ok" || fail "--fps 1000 refused"
render --time 10 --fps 2000/2 --out "$work/ok" || fail "--fps 2000/2 refused"
render --time 10 --fps 1 --out "$work/ok" || fail "--fps 1 refused"

# Past 203 s is a bad time in every mode, PNG frames, sequences and videos alike: nothing is made;
# a huge --to neither overflows nor lists every frame up to it.
refused --time 250 --time 10 --time 250 --out "$work/out"
refused --to 210 --from 0 --to 210 --fps 10 --out "$work/out"
refused --to 999999999 --from 202.99 --to 999999999 --fps 1000 --out "$work/out"
refused --size 801x600 --capture --size 801x600 --out "$work/e.mp4"
refused --size 63x48 --time 10 --size 63x48 --out "$work/out"

# A value missing, an option the mode does not use, or modes mixed: one line, the usage, exit 2.
refused_request() {
  local rc
  rm -rf "$work/out"
  render "$@"; rc=$?
  [ $rc -eq 2 ] || fail "$* gave exit $rc, expected 2"
  [ "$(grep -c "^kestrane-render: " "$work/stderr")" -eq 1 ] && grep -q "^usage:" "$work/stderr" ||
    fail "$* is not one line and the usage"
  [ ! -e "$work/out" ] && [ ! -e "$work/e.mp4" ] || fail "$* made an output"
}
refused_request --time 10 --out
refused_request --capture --from 0 --to
refused_request --bench --time 10
refused_request --bench-frames --out "$work/out"
refused_request --capture --time 10 --out "$work/e.mp4"
refused_request --capture --bench
refused_request --from 0 --to 1 --out "$work/out"
refused_request --time 10 --from 0 --to 1 --fps 10 --out "$work/out"

# The renderer draws offscreen whatever SDL_VIDEODRIVER says: on an 800x600 X screen, which would
# fit a window to 800x600, a 1600x1200 frame is still 1600x1200.
start_x 800x600
(cd "$source_dir" && exec env SDL_VIDEODRIVER=x11 timeout 120 "$build/kestrane-render" --size 1600x1200 --time 10 \
  --out "$work/x11" >"$work/stdout" 2>"$work/stderr") || fail "SDL_VIDEODRIVER=x11 gave exit $?"
size=$(identify -format '%wx%h' "$work/x11/t10.000.png") || fail "SDL_VIDEODRIVER=x11 wrote no PNG"
[ "$size" = 1600x1200 ] || fail "SDL_VIDEODRIVER=x11 --size 1600x1200 wrote a $size frame"

# A missing folder is made with its parents; only the finished picture is left in it.
render --time 10 --out "$work/new/deep/frames" || fail "a missing folder was not made"
[ "$(ls -A "$work/new/deep/frames")" = t10.000.png ] || fail "the folder holds $(ls -A "$work/new/deep/frames")"

# A folder that cannot be made (below a plain file, which holds for root too): one line, exit 1.
echo plain >"$work/file"
render --time 10 --out "$work/file/frames"; rc=$?
[ $rc -eq 1 ] || fail "a folder below a file gave exit $rc, expected 1"
[ "$(wc -l <"$work/stderr")" -eq 1 ] && grep -q "cannot create the folder" "$work/stderr" ||
  fail "a folder below a file is not one line of error"
[ ! -e "$work/file/frames" ] || fail "something was made below a file"

# A folder that takes no files (read-only for a user; root writes anywhere, so diskFaults.sh mounts
# one read-only).
if [ "$(id -u)" -ne 0 ]; then
  mkdir -p "$work/locked"
  chmod 555 "$work/locked"
  render --time 10 --out "$work/locked"; rc=$?
  chmod 755 "$work/locked"
  [ $rc -eq 1 ] || fail "a read-only folder gave exit $rc, expected 1"
  [ "$(wc -l <"$work/stderr")" -eq 1 ] && grep -q "cannot write into the folder" "$work/stderr" ||
    fail "a read-only folder is not one line of error"
fi
echo "PASS"
