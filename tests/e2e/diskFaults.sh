#!/usr/bin/env bash
# The offline renderer on disks that refuse what it writes, made as small tmpfs mounts (skipped
# where mounting is not allowed): a read-only folder is one line of error; a disk that fills during
# a picture leaves the old file under the final name untouched and no partial file; a video whose
# soundtrack fits but whose frames do not is an error that leaves nothing behind.
source "$(dirname "$0")/common.bash" "$1" "$2" || exit 1
render() { (cd "$source_dir" && exec timeout 120 "$build/kestrane-render" "$@" >"$work/stdout" 2>"$work/stderr"); }
mounted=()
unmount_all() { for m in "${mounted[@]}"; do umount "$m" 2>/dev/null; done; }
at_exit unmount_all
# mount_tmpfs FOLDER OPTIONS: false where mounting is not allowed.
mount_tmpfs() {
  mkdir -p "$1"
  mount -t tmpfs -o "$2" tmpfs "$1" 2>/dev/null || return 1
  mounted+=("$1")
}
mount_tmpfs "$work/full" size=64k || skip "tmpfs cannot be mounted here (needs root or a mount namespace)"

# A disk that fills during a picture: exit 1, the old picture kept, no partial file.
echo old >"$work/full/t10.000.png"
render --time 10 --time 30 --out "$work/full"; rc=$?
[ $rc -eq 1 ] || fail "exit $rc on a full disk, expected 1"
grep -q "cannot write" "$work/stderr" || fail "no message about the failed write"
[ "$(ls -A "$work/full")" = t10.000.png ] || fail "a full disk left: $(ls -A "$work/full")"
[ "$(cat "$work/full/t10.000.png")" = old ] || fail "a failed write replaced the existing picture"

# A read-only folder: one line of error, exit 1.
mount_tmpfs "$work/locked" ro,size=1m || fail "a read-only tmpfs cannot be mounted beside a writable one"
render --time 10 --out "$work/locked"; rc=$?
[ $rc -eq 1 ] || fail "a read-only folder gave exit $rc, expected 1"
[ "$(wc -l <"$work/stderr")" -eq 1 ] && grep -q "cannot write into the folder" "$work/stderr" ||
  fail "a read-only folder is not one line of error"

# A video on a 1 MB disk: the soundtrack fits, the frames do not. Exit 1, nothing left.
if command -v ffmpeg >/dev/null; then
  mount_tmpfs "$work/small" size=1m || fail "a second tmpfs cannot be mounted"
  render --capture --fps 30 --from 0 --to 5 --out "$work/small/f.mp4"; rc=$?
  [ $rc -eq 1 ] || fail "exit $rc on a full disk, expected 1"
  grep -q "is full" "$work/stderr" || fail "no message about the full disk"
  [ -z "$(ls -A "$work/small")" ] || fail "a full disk kept $(ls -A "$work/small")"
fi
echo "PASS"
