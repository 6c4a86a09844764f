#!/usr/bin/env bash
# The offline renderer's arguments and PNG files: every bad number refused (exit 2, the argument and
# its value named, the usage, nothing made), times past the end reported without a giant frame
# list, a missing output folder created and an unwritable one an error (full disks: diskFaults.sh).
source "$(dirname "$0")/common.bash" || exit 1
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

# Past 203 s nothing is written and the call says so; a huge --to neither overflows nor lists
# every frame up to it.
render --time 250 --out "$work/late"; rc=$?
[ $rc -eq 1 ] || fail "--time 250 gave exit $rc, expected 1"
grep -q "past the end" "$work/stderr" || fail "--time 250 does not say it is past the end"
[ -z "$(ls -A "$work/late")" ] || fail "--time 250 wrote $(ls -A "$work/late")"
render --from 202.99 --to 999999999 --fps 1000 --out "$work/huge"; rc=$?
[ $rc -eq 1 ] || fail "a huge --to gave exit $rc, expected 1"
[ "$(ls "$work/huge" | wc -l)" -eq 11 ] || fail "a huge --to wrote $(ls "$work/huge" | wc -l) frames, expected 11"
grep -q "203.001 s to 999999999.000 s is past the end" "$work/stderr" || fail "a huge --to is not reported"

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
