#!/usr/bin/env bash
# Damaged data: the demo, run under Xvfb with the dummy audio driver and M held to the end, keeps
# going and exits 0 with one data file missing, empty, cut to half its size, overwritten with
# random bytes or replaced by a folder, with a shader that fails to compile or to link, and with an
# unreadable data/.
# By default a representative set of cases (CTest); FULL=1 runs every file with every damage and
# writes the table into docs/reliability.md:
#   FULL=1 tests/e2e/damagedData.sh [build folder] [source folder]
root=$(cd "$(dirname "$0")/../.." && pwd)
set -- "$(cd "${1:-$root/build}" && pwd)" "$(cd "${2:-$root}" && pwd)"
source "$(dirname "$0")/common.bash" "$1" "$2"
source "$(dirname "$0")/damagedData.bash"

[ -f "$source_dir/$music_file" ] || fail "data/ is not generated yet"
start_x
prepare_pristine
results=$work/results
: >"$results"

run() { matrix_case "$@" | tee -a "$results"; }

if [ "${FULL:-0}" = 1 ]; then
  for file in $(data_files); do
    for kind in missing empty half random folder; do run "$kind" "$file"; done
  done
  run compile shaders/blur.frag
  run link shaders/blur.frag
  run unreadable ""
  run unreadable "" escape
else
  run missing textures/water.png
  run empty textures/font.png
  run half textures/intro/1_layer.png
  run random textures/particle.png
  run random 3d/deformed2.obj
  run half 3d/deformed2.obj
  run empty "${music_file#data/}"
  run random "${music_file#data/}"
  run folder "${music_file#data/}"
  run missing shaders/default.vert
  run compile shaders/blur.frag
  run link shaders/blur.frag
  run unreadable ""
  run unreadable "" escape
fi

failed=$(grep -c '^FAIL' "$results")
passed=$(grep -c '^ok' "$results")
skipped=$(grep -c '^skip' "$results")
echo "damaged data: $passed passed, $failed failed, $skipped skipped"

if [ "${FULL:-0}" = 1 ]; then
  "$(dirname "$0")/damagedDataTable.bash" "$results" "$source_dir/docs/reliability.md" "$build"
fi
[ "$failed" -eq 0 ] || fail "$failed damaged-data cases failed"
echo "PASS"
