#!/usr/bin/env bash
# The data folder is found from any current folder: the renderer run from a folder outside the tree
# writes the same frame as from the repository root (a relative --out still taken from where it was
# called); $KESTRANE_DATA, even relative and without the music, is the folder read; with no data
# folder at all the renderer says where it looked and exits 1 without a frame, and the demo says so
# in one line and carries on.
source "$(dirname "$0")/common.bash" "$1" "$2"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
unset KESTRANE_DATA KESTRANE_IGNORE_BUILD_TREE

(cd "$source_dir" && "$build/kestrane-render" --time 10 --out "$work/fromRoot" >"$work/stdout" 2>"$work/stderr") ||
  fail "the renderer failed from the repository root"
reference=$work/fromRoot/t10.000.png

mkdir -p "$work/elsewhere"
(cd "$work/elsewhere" && "$build/kestrane-render" --time 10 --out frames >"$work/stdout" 2>"$work/stderr") ||
  fail "the renderer failed from $work/elsewhere"
[ -f "$work/elsewhere/frames/t10.000.png" ] || fail "no frame under the relative --out folder"
cmp -s "$reference" "$work/elsewhere/frames/t10.000.png" || fail "the frame from another folder differs"

# A copy of the data under another name, without the music, named relative to the current folder.
cp -r "$source_dir/data" "$work/myData"
rm -rf "$work/myData/music"
(cd "$work" && KESTRANE_DATA=myData "$build/kestrane-render" --time 10 --out "$work/copy" \
   >"$work/stdout" 2>"$work/stderr") || fail "the renderer failed with KESTRANE_DATA=myData"
[ -f "$work/copy/t10.000.png" ] || fail "no frame with KESTRANE_DATA=myData"
# The missing music is that copy's: the music's own failure lines come from reading it.
[ "$(head -2 "$work/stdout")" = "$(printf 'Error!\nFile Not Found')" ] ||
  fail "the renderer did not read the data of KESTRANE_DATA"

# No data folder: the one named does not exist, or the build tree's is switched off and nothing is
# installed beside the build folder.
for setting in "KESTRANE_DATA=$work/missing" "KESTRANE_IGNORE_BUILD_TREE=1"; do
  rc=0
  (cd "$work/elsewhere" && env "$setting" "$build/kestrane-render" --time 10 --out none \
     >"$work/stdout" 2>"$work/stderr") || rc=$?
  [ "$rc" -eq 1 ] || fail "$setting: exit code $rc, expected 1"
  [ -z "$(find "$work/elsewhere/none" -type f 2>/dev/null)" ] || fail "$setting: a frame was written"
  grep -q "kestrane-render: no data folder found: looked in " "$work/stderr" ||
    fail "$setting: the renderer did not say where it looked"
  [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "$setting: expected one line on standard error"
done

# The demo without a data folder: one line, then it goes on as with missing files (asks its
# question and opens its window; stopped here by its process id).
start_x
(cd "$work/elsewhere" && exec env -u SDL_VIDEODRIVER KESTRANE_IGNORE_BUILD_TREE=1 "$build/kestrane" \
   >"$work/stdout" 2>"$work/stderr") &
demo_pid=$!
answer_start_question Escape
wait_window "$demo_title" >/dev/null || fail "the demo opened no window without a data folder"
[ "$(grep -c "kestrane: no data folder found: looked in " "$work/stderr")" -eq 1 ] ||
  fail "the demo did not say once where it looked"
grep -q "reading data/ of the current folder" "$work/stderr" || fail "the demo did not say what it reads"
kill -9 "$demo_pid"
wait "$demo_pid" 2>/dev/null
demo_pid=""
echo "PASS"
