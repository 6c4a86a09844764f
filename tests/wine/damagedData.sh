#!/usr/bin/env bash
# A damaged data folder under Wine behaves as on Linux (tests/e2e/damagedData.bash judges both):
# with a texture missing, the music file empty or the model missing, kestrane.exe plays on with M
# held to the end of the presentation, prints what the Linux build prints, and exits with code 0.
source "$(dirname "$0")/../e2e/common.bash" "$1" "$2"
source "$(dirname "$0")/wine.bash"
source "$(dirname "$0")/../e2e/damagedData.bash"

# damagedData.bash's run_case with kestrane.exe under Wine in place of the Linux program.
run_case() {
  local dir=$1 ending=${3:-end} started
  started=$(date +%s%N)
  (cd "$dir" && exec env KESTRANE_DATA="$dir/data" SDL_AUDIODRIVER=dummy KESTRANE_TRACE=1 \
    "$wine" "$package/kestrane.exe" >"$work/stdout" 2>"$work/stderr") &
  demo_pid=$!
  drive_case "$ending" 90 60
  # Wine writes text files with CR LF line ends: the Linux expectations see LF.
  sed -i 's/\r$//' "$work/stdout" "$work/stderr"
  case_secs=$(( ($(date +%s%N) - started) / 100000000 ))
}

[ -f "$source_dir/$music_file" ] || fail "data/ is not generated yet"
start_x
make_prefix
prepare_pristine
failed=0
for damage in "missing textures/water.png" "empty ${music_file#data/}" "missing 3d/deformed2.obj"; do
  read -r kind file <<<"$damage"
  dir=$(damage_case "$kind" "$file") || fail "cannot damage $file"
  run_case "$dir" "" end
  judge_case "$kind" "$file" end
  if [ "$case_ok" -eq 1 ]; then
    printf 'ok\t%s\t%s\t%s\t%s\n' "$kind" "$file" "$case_note" "$((case_secs / 10))"
  else
    printf 'FAIL\t%s\t%s\t%s\t%s\n' "$kind" "$file" "$case_note" "$((case_secs / 10))"
    tail -5 "$work/stderr"
    failed=$((failed + 1))
  fi
done
[ "$failed" -eq 0 ] || fail "$failed damaged-data cases failed under Wine"
echo "PASS"
