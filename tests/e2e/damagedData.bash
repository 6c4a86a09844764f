# damagedData.bash: one case of the damaged-data matrix. Sourced by damagedData.sh after
# common.bash (it uses $work, $build, $source_dir, start_x, wait_window). A case copies data/ (hard
# links), damages one thing, runs the demo windowed with KESTRANE_TRACE set and M held until the
# presentation ends, and judges what came out. Random bytes come from /dev/urandom; a failing
# case keeps its damaged folder under $build/damagedData-failures/ so it can be replayed.

pristine=""

# A clean copy of data/ that every case links to; taken once, so the source tree is never touched.
prepare_pristine() {
  pristine=$work/pristine
  mkdir -p "$pristine"
  cp -r "$source_dir/data" "$pristine/"
  chmod 755 "$work" "$pristine"
  # A sanitized build also checks for leaks here. Known and bounded: SDL's D-Bus connection, and
  # the music file's bytes, kept for the whole run on purpose (with no stream reading them, the
  # optimiser may drop the only pointer, so LeakSanitizer sees them as lost).
  printf 'leak:libdbus-1.so\nleak:readMusicFile\n' >"$work/lsan.supp"
  chmod 644 "$work/lsan.supp"
}

# Every data file the program reads, relative to data/ (52 pictures, model, music, shaders).
data_files() {
  (cd "$pristine/data" && find . -type f | sed 's|^\./||' | sort)
}

# Applies damage $1 (missing, empty, half, random, folder, compile, link, unreadable) to data/$2
# of a new case folder, printed on standard output. "folder": an empty folder in the file's place,
# which opens like a file on Linux but yields no bytes.
damage_case() {
  local kind=$1 file=${2:-} dir=$work/case
  [ -d "$dir" ] && chmod -R u+rwx "$dir" 2>/dev/null
  rm -rf "$dir"
  mkdir -p "$dir"
  cp -al "$pristine/data" "$dir/data"
  chmod 755 "$dir"
  local target=$dir/data/$file source=$pristine/data/$file size
  # A damaged file is always written anew, so the pristine copy behind the link stays intact.
  case $kind in
    missing) rm -f "$target" ;;
    empty) rm -f "$target" && : >"$target" ;;
    half)
      size=$(stat -c %s "$source")
      rm -f "$target" && head -c $((size / 2)) "$source" >"$target"
      ;;
    random)
      size=$(stat -c %s "$source")
      rm -f "$target" && head -c "$size" /dev/urandom >"$target"
      ;;
    folder) rm -f "$target" && mkdir "$target" ;;
    compile)  # a syntax error at the end of the fragment program
      rm -f "$dir/data/shaders/blur.frag"
      { cat "$pristine/data/shaders/blur.frag"; printf '\nfloat broken = ;\n'; } >"$dir/data/shaders/blur.frag"
      ;;
    link)  # compiles, but calls a function that no unit defines
      rm -f "$dir/data/shaders/blur.frag"
      printf '%s\n' '#version 110' 'uniform sampler2D texture;' 'vec4 glowOf(vec2 uv);' \
        'void main() { gl_FragColor = glowOf(gl_TexCoord[0].st) + texture2D(texture, vec2(0.0)); }' \
        >"$dir/data/shaders/blur.frag"
      ;;
    unreadable) chmod 000 "$dir/data" ;;
    *) echo "unknown damage $kind" >&2; return 1 ;;
  esac
  echo "$dir"
}

# How the demo is started for a case: as root, an unreadable folder needs an unprivileged user,
# since root reads it anyway. Prints the command prefix, or fails when there is no way.
runner_for() {
  if [ "$1" != unreadable ] || [ "$(id -u)" -ne 0 ]; then return 0; fi
  command -v setpriv >/dev/null || return 1
  echo "setpriv --reuid=65534 --regid=65534 --clear-groups"
}

# Gives window $1 the input focus and checks that it has it (no window manager runs under Xvfb).
focus_window() {
  local id
  id=$(printf '%d' "$1")
  for _ in $(seq 50); do
    xdotool windowfocus "$1" >/dev/null 2>&1
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$id" ] && return 0
    sleep 0.1
  done
  return 1
}

# Runs the demo in folder $1 (prefix command $2, may be empty) to the end of the presentation
# with M held, or until $3 = escape has it pressed after two seconds. Sets case_rc and case_secs
# (tenths of a second).
run_case() {
  local dir=$1 prefix=$2 ending=${3:-end} started
  started=$(date +%s%N)
  (cd "$dir" && exec $prefix env KESTRANE_DATA="$dir/data" SDL_AUDIODRIVER=dummy KESTRANE_TRACE=1 HOME="$work" \
     ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=1" LSAN_OPTIONS="suppressions=$work/lsan.supp" \
     "$build/kestrane" >"$work/stdout" 2>"$work/stderr") &
  demo_pid=$!
  drive_case "$ending" 60 20
  case_secs=$(( ($(date +%s%N) - started) / 100000000 ))
}

# Drives the started demo ($demo_pid): answers the start question No, then holds M (or presses
# Escape after two seconds when $1 = escape) for at most $2 seconds, each window awaited at most
# $3 seconds; a demo still running then is killed. Sets case_rc. The key is given again every 5 s
# in case the window had not taken it.
drive_case() {
  local ending=$1 allowed=$2 window_wait=$3 win="" box
  case_rc=""
  : >"$work/harness"
  box=$(wait_window "Start FullScreen?" "$window_wait") && xdotool key --window "$box" Escape >/dev/null 2>&1
  wait_window "$demo_title" "$window_wait" >/dev/null
  [ "$ending" = escape ] && sleep 2
  local deadline=$(($(date +%s) + allowed)) next_key=0
  while [ "$(date +%s)" -lt "$deadline" ]; do
    kill -0 "$demo_pid" 2>/dev/null || break
    if [ "$(date +%s)" -ge "$next_key" ] && win=$(wait_window "$demo_title" 2); then
      # Looked up again each time: an id found earlier may have been a window on its way out.
      next_key=$(($(date +%s) + 5))
      focus_window "$win" || echo "focus not taken by $win" >>"$work/harness"
      # Held for a moment: a press and release drained in one turn are never seen as a command.
      if [ "$ending" = escape ]; then
        xdotool keydown Escape && sleep 0.3 && xdotool keyup Escape
      else
        xdotool keydown m
      fi
    fi >/dev/null 2>&1
    sleep 0.1
  done
  xdotool keyup m >/dev/null 2>&1
  if kill -0 "$demo_pid" 2>/dev/null; then
    { echo "window used: $win"; echo "focus: $(xdotool getwindowfocus 2>&1)"; xwininfo -root -tree; } \
      >>"$work/harness" 2>&1
    kill -9 "$demo_pid" 2>/dev/null
    wait "$demo_pid" 2>/dev/null
    case_rc=timeout
  else
    wait "$demo_pid"
    case_rc=$?
  fi
  demo_pid=""
}

# What standard output must be for damage $1 of file $2 (an extended regular expression matched
# against the whole output with newlines as \n). Pictures and the model are silent; the shaders
# give the shader library's lines; a music file that cannot be opened gives the two music lines.
expected_stdout() {
  local kind=$1 file=$2
  case "$kind:$file" in
    unreadable:*) echo '^error: can.t load vertex shader!\\nError!\\nFile Not Found\\n$' ;;
    compile:* | half:shaders/blur.frag) echo '^\*\*\*COMPILER ERROR \(Fragment Shader\):\\n' ;;
    half:shaders/default.vert) echo '^\*\*\*COMPILER ERROR \(Vertex Shader\):\\n' ;;
    link:*) echo '^\*\*linker error\*\*\\n\*\*LINKER ERROR\\n' ;;
    missing:shaders/default.vert | empty:shaders/default.vert | folder:shaders/default.vert)
      echo '^error: can.t load vertex shader!\\n$' ;;
    missing:shaders/blur.frag | empty:shaders/blur.frag | folder:shaders/blur.frag)
      echo '^error: can.t load fragment shader!\\n$' ;;
    # Random bytes usually fail to compile; a first byte of 0 makes an empty source, which
    # compiles and then fails to link.
    random:shaders/*) echo '^(\*\*\*COMPILER ERROR \((Vertex|Fragment) Shader\):\\n|\*\*linker error\*\*\\n\*\*LINKER ERROR\\n)' ;;
    missing:music/*) echo '^Error!\\nFile Not Found\\n$' ;;
    *) echo '^$' ;;
  esac
}

# Judges the finished case: sets case_ok (0 or 1) and case_note (what was seen, or what failed).
judge_case() {
  local kind=$1 file=$2 ending=${3:-end} out err starts
  out=$(awk '{printf "%s\\n", $0}' "$work/stdout")
  err=$(cat "$work/stderr")
  case_ok=0
  if [ "$case_rc" = timeout ]; then case_note="did not end within 60 s"; return; fi
  if [ "$case_rc" -ne 0 ]; then case_note="exit code $case_rc"; return; fi
  if grep -qE 'AddressSanitizer|LeakSanitizer|runtime error:' <<<"$err"; then
    case_note="sanitizer report"; return
  fi
  if grep -q 'kestrane-trace: GL error' <<<"$err"; then case_note="GL error reported"; return; fi
  starts=$(grep -c 'kestrane-trace: music stream started' <<<"$err")
  if [ "$starts" -ne 1 ]; then case_note="music started $starts times"; return; fi
  local wanted="end of presentation"
  [ "$ending" = escape ] && wanted="escape"
  if ! grep -q "kestrane-trace: loop ended ($wanted)" <<<"$err"; then
    case_note="did not end by $wanted: $(grep 'loop ended' <<<"$err" | head -1)"; return
  fi
  if ! grep -qE "$(expected_stdout "$kind" "$file")" <<<"$out"; then
    case_note="unexpected output: $(head -c 120 "$work/stdout" | tr '\n' '|')"; return
  fi
  case_ok=1
  if [ -s "$work/stdout" ]; then
    case_note=$(head -1 "$work/stdout" | sed 's/[|]/\//g')
    [ "$(wc -l <"$work/stdout")" -gt 1 ] && case_note="$case_note ..."
  else
    case_note="silent"
  fi
  grep -q 'holds no playable MP3' <<<"$err" && case_note="$case_note; no playable MP3 (stderr)"
  grep -q 'silent clock' <<<"$err" && case_note="$case_note; silent clock"
  return 0
}

# Runs one whole case and prints one line: ok|FAIL <tab> kind <tab> file <tab> note <tab> seconds.
matrix_case() {
  local kind=$1 file=${2:-} ending=${3:-end} dir prefix
  if ! prefix=$(runner_for "$kind"); then
    printf 'skip\t%s\t%s\t%s\t-\n' "$kind" "$file" "running as root without setpriv: root reads any folder"
    return 0
  fi
  dir=$(damage_case "$kind" "$file") || return 1
  run_case "$dir" "$prefix" "$ending"
  judge_case "$kind" "$file" "$ending"
  if [ "$case_ok" -ne 1 ]; then
    local keep
    keep=$build/damagedData-failures/${kind}-$(echo "${file:-all}" | tr '/' '_')
    rm -rf "$keep" && mkdir -p "$keep" && chmod -R u+rwx "$dir" && cp -r "$dir/data" "$work/stdout" "$work/stderr" "$work/harness" "$keep/"
    printf 'FAIL\t%s\t%s\t%s (kept in %s)\t%d.%d\n' "$kind" "$file" "$case_note" "$keep" \
      $((case_secs / 10)) $((case_secs % 10))
    return 1
  fi
  printf 'ok\t%s\t%s\t%s\t%d.%d\n' "$kind" "$file" "$case_note" $((case_secs / 10)) $((case_secs % 10))
}
