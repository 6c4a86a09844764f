#!/usr/bin/env bash
# A damaged data folder under Wine behaves as on Linux (tests/e2e/damagedData.bash judges both):
# with a texture missing, the music file empty or the model missing, kestrane.exe plays on with M
# held to the end of the presentation, prints what the Linux build prints, and exits with code 0.
source "$(dirname "$0")/../e2e/common.bash"
source "$(dirname "$0")/wine.bash"
source "$(dirname "$0")/../e2e/damagedData.bash"

# damagedData.bash's run_case with kestrane.exe under Wine in place of the Linux program.
run_case() {
  local dir=$1 ending=${3:-end} started win="" box
  started=$(date +%s%N)
  (cd "$dir" && exec env KESTRANE_DATA="$dir/data" SDL_AUDIODRIVER=dummy KESTRANE_TRACE=1 \
    "$wine" "$package/kestrane.exe" >"$work/stdout" 2>"$work/stderr") &
  demo_pid=$!
  case_rc=""
  : >"$work/harness"
  box=$(wait_window "Start FullScreen?" 60) && xdotool key --window "$box" Escape >/dev/null 2>&1
  wait_window "Vel - Kestrane" 60 >/dev/null
  local deadline=$(($(date +%s) + 90)) next_key=0
  while [ "$(date +%s)" -lt "$deadline" ]; do
    kill -0 "$demo_pid" 2>/dev/null || break
    if [ "$(date +%s)" -ge "$next_key" ] && win=$(wait_window "Vel - Kestrane" 2); then
      next_key=$(($(date +%s) + 5))
      focus_window "$win" || echo "focus not taken by $win" >>"$work/harness"
      xdotool keydown m
    fi >/dev/null 2>&1
    sleep 0.1
  done
  xdotool keyup m >/dev/null 2>&1
  if kill -0 "$demo_pid" 2>/dev/null; then
    kill -9 "$demo_pid" 2>/dev/null
    wait "$demo_pid" 2>/dev/null
    case_rc=timeout
  else
    wait "$demo_pid"
    case_rc=$?
  fi
  demo_pid=""
  # Wine writes text files with CR LF line ends: the Linux expectations see LF.
  sed -i 's/\r$//' "$work/stdout" "$work/stderr"
  case_secs=$(( ($(date +%s%N) - started) / 100000000 ))
}

[ -f "$source_dir/data/music/ivo_marenk_-_kestrane.mp3" ] || fail "data/ is not generated yet"
start_x
make_prefix
prepare_pristine
failed=0
for damage in "missing textures/water.png" "empty music/ivo_marenk_-_kestrane.mp3" "missing 3d/deformed2.obj"; do
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
