#!/usr/bin/env bash
# kestrane-render.exe under Wine draws the same frames as the Linux renderer: one time in every
# schedule window (and the logo stretch), both at 800x600 through the machine's Mesa. A pair may
# differ by a mean of at most 0.05 levels, with at least 99.5 % of the pixels within 4 levels in
# every channel. Measured: six of the ten frames are identical or within 2 levels; the others
# differ in a few sprite edges (MinGW's sin and cos against glibc's, a pixel apart) and, at 190 s,
# in single rows at the edges of the floor's glitch bands, which follow the bass (mean 0.021,
# 99.78 % within 4 levels). The frame one step (17 ms) later differs by a mean of 2 to 2.7 levels
# with 67-84 % within 4.
# Then a sequence whose console is closed while it writes (closeConsole.exe runs the close event
# as Windows does and ends the process when the handlers return, or after 5 s): the renderer must
# say where it stopped, before the process ends, and leave only whole frames, no temporary file.
source "$(dirname "$0")/../e2e/common.bash" "$1" "$2"
source "$(dirname "$0")/wine.bash"
max_mean=0.05
min_within=99.5
times=(10 72 95 115 130 140 150 163 175 190)
args=()
for t in "${times[@]}"; do args+=(--time "$t"); done

start_x
make_prefix
"$build/kestrane-render" "${args[@]}" --out "$work/linux" >"$work/linux.log" 2>&1 ||
  { cat "$work/linux.log" >&2; fail "the Linux renderer failed"; }
(cd "$work" && "$wine" "$package/kestrane-render.exe" "${args[@]}" --out "$work/windows") >"$work/windows.log" 2>&1 ||
  { cat "$work/windows.log" >&2; fail "kestrane-render.exe failed"; }

failed=0
for t in "${times[@]}"; do
  name=$(printf 't%d.000.png' "$t")
  [ -f "$work/windows/$name" ] || fail "kestrane-render.exe wrote no $name"
  figures=$("$build/tests/kestrane-framediff" "$work/linux/$name" "$work/windows/$name") ||
    fail "$name: the frames cannot be compared"
  echo "$name: $figures"
  read -r _ mean _ within _ <<<"$figures"
  if ! awk -v m="$mean" -v w="${within%\%}" -v mm="$max_mean" -v mw="$min_within" 'BEGIN {exit !(m <= mm && w >= mw)}'; then
    echo "FAIL: $name differs from the Linux frame beyond mean $max_mean / $min_within % within 4 levels" >&2
    failed=$((failed + 1))
  fi
done
# A size larger than the test's 800x600 screen: the hidden window is made at the size asked for.
"$build/kestrane-render" --time 72 --size 1280x960 --out "$work/linux-large" >>"$work/linux.log" 2>&1 ||
  fail "the Linux renderer failed at 1280x960"
(cd "$work" && "$wine" "$package/kestrane-render.exe" --time 72 --size 1280x960 --out "$work/windows-large") \
  >>"$work/windows.log" 2>&1 || { cat "$work/windows.log" >&2; fail "kestrane-render.exe failed at 1280x960"; }
figures=$("$build/tests/kestrane-framediff" "$work/linux-large/t72.000.png" "$work/windows-large/t72.000.png") ||
  fail "the 1280x960 frames cannot be compared (of another size?)"
echo "t72.000.png at 1280x960: $figures"
read -r _ mean _ within _ <<<"$figures"
awk -v m="$mean" -v w="${within%\%}" -v mm="$max_mean" -v mw="$min_within" 'BEGIN {exit !(m <= mm && w >= mw)}' ||
  failed=$((failed + 1))
[ "$failed" -eq 0 ] || fail "$failed frames differ from the Linux renderer's"

compiler=$(command -v x86_64-w64-mingw32-g++-posix || true)
[ -n "$compiler" ] || fail "no MinGW compiler (scripts/windows installs it) for closeConsole.exe"
"$compiler" -O1 -static -o "$work/closeConsole.exe" "$source_dir/tests/wine/closeConsole.cpp" ||
  fail "closeConsole.exe cannot be built"
stopped=$work/stopped
(cd "$work" && exec "$wine" "$package/kestrane-render.exe" --from 0 --to 20 --fps 30 --out "$stopped") \
  >"$work/stopped.log" 2>&1 &
render_pid=$!
for _ in $(seq 600); do
  [ "$(find "$stopped" -name 't*.png' 2>/dev/null | wc -l)" -ge 3 ] && break
  kill -0 "$render_pid" 2>/dev/null || break
  sleep 0.1
done
[ "$(find "$stopped" -name 't*.png' 2>/dev/null | wc -l)" -ge 3 ] ||
  { cat "$work/stopped.log" >&2; fail "kestrane-render.exe wrote no frames to stop"; }
"$wine" "$work/closeConsole.exe" kestrane-render.exe || fail "the console could not be closed"
for _ in $(seq 100); do kill -0 "$render_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$render_pid" 2>/dev/null && fail "kestrane-render.exe still runs 10 s after its console closed"
cat "$work/stopped.log"
written=$(sed -nE 's/.*stopped by a signal after ([0-9]+) of 601 frames.*/\1/p' "$work/stopped.log")
[ -n "$written" ] || fail "kestrane-render.exe did not act on the closed console"
left=$(find "$stopped" -name '.*' | wc -l)
[ "$left" -eq 0 ] || { ls -la "$stopped" >&2; fail "$left temporary files left after the console closed"; }
frames=$(find "$stopped" -name 't*.png' | wc -l)
[ "$frames" -eq "$written" ] || fail "$frames frames in the folder, $written said written"
for frame in "$stopped"/t*.png; do
  "$build/tests/kestrane-framediff" "$frame" "$frame" >/dev/null || fail "$(basename "$frame") is not whole"
done
echo "closed console: $written whole frames of 601, no temporary file"
echo "PASS"
