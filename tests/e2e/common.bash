# common.bash: the whole-program tests' own steps: the demo started, its windows, keys, traces and
# signals. Sourced by each tests/e2e/*.sh (and the measuring scripts) with two arguments, the build
# folder and the source folder; it sources parts.bash, which starts and stops the real parts.
source "$(dirname "${BASH_SOURCE[0]}")/parts.bash" "$1" "$2"
demo_pid=""
# A demo a test left running is killed at exit, before the parts it runs among are stopped (the
# first start_demo registers this once more, so that it runs before them).
kill_demo() {
  if [ -n "$demo_pid" ]; then kill -9 "$demo_pid" 2>/dev/null; fi
  demo_pid=""
}
at_exit kill_demo
demo_kill_registered=""

# What the tests look for: the window's titles at start and once F1 re-created or switched it, and
# the music file (relative to the data folder's parent).
demo_title="Vel - Kestrane"
reopened_title="Tove"
music_file="data/music/ivo_marenk_-_kestrane.mp3"

# Starts the demo in folder $1, reading $1/data, with the arguments that follow, through the audio
# driver named by $demo_audio (SDL's dummy driver unless a test sets it).
start_demo() {
  local dir=$1
  shift
  [ -n "$demo_kill_registered" ] || { at_exit kill_demo; demo_kill_registered=1; }
  (cd "$dir" && exec env KESTRANE_DATA="$dir/data" SDL_AUDIODRIVER="${demo_audio:-dummy}" "$build/kestrane" "$@" \
    >"$work/stdout" 2>"$work/stderr") &
  demo_pid=$!
}

# The id of the top-level window named exactly $1 (SDL's message boxes included), waiting up to
# $2 seconds (default 20).
wait_window() {
  local id
  for _ in $(seq $(( ${2:-20} * 10 ))); do
    id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$1\"" | awk '{print $1}' | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$demo_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Answers the start question: Return = Yes (full screen), Escape = No (windowed).
answer_start_question() {
  local box
  box=$(wait_window "Start FullScreen?") || fail "the start question was not shown"
  xdotool key --window "$box" "$1"
}

# Waits up to $1 seconds for the demo to end and checks its exit code is 0.
expect_exit_zero() {
  local rc
  for _ in $(seq $(( $1 * 10 ))); do
    kill -0 "$demo_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$demo_pid" 2>/dev/null && fail "the demo did not end within $1 s"
  wait "$demo_pid"
  rc=$?
  demo_pid=""
  [ "$rc" -eq 0 ] || fail "exit code $rc, expected 0"
}

# Focuses window $1 and presses key $2 down through XTEST, as a user would; release_key lets it go.
# The program reads keys on its idle turns only, so a press and release that both arrive while it
# is busy (start-up, say) would be lost: tests hold a key until they see its effect.
hold_key() {
  xdotool windowfocus "$1" 2>/dev/null
  xdotool keydown "$2"
}
release_key() { xdotool keyup "$1"; }

client_size() { xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }

# A working folder with every data file but the ones named (relative to data/).
make_data_folder() {
  local dir=$work/run
  mkdir -p "$dir"
  cp -r "$source_dir/data" "$dir/"
  local f
  for f in "$@"; do rm -rf "${dir:?}/data/$f"; done
  echo "$dir"
}

# ---------------------------------------------------------------------------------------------
# Keys, traces and signals.
# ---------------------------------------------------------------------------------------------

# One tap of key $1 with no delay between down and up: both reach the program in one drain of its
# event queue.
tap_key() { xdotool keydown --delay 0 "$1" keyup --delay 0 "$1"; }

# Waits up to $2 seconds (default 30) until the demo's standard error holds at least $3 (default 1)
# lines matching $1 (the demo runs with KESTRANE_TRACE set).
wait_trace() {
  for _ in $(seq $(( ${2:-30} * 10 ))); do
    [ "$(grep -c -- "$1" "$work/stderr" 2>/dev/null)" -ge "${3:-1}" ] && return 0
    kill -0 "$demo_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Sends signal $1 to the demo and waits for it to end; fails unless it ends with exit code 0 and
# leaves no process of its own behind. Prints how long the end took.
signal_and_expect_exit_zero() {
  local start end rc children
  children=$(pgrep -P "$demo_pid" | tr '\n' ' ')
  start=$(date +%s%N)
  kill -s "$1" "$demo_pid"
  for _ in $(seq 100); do
    [ "$(awk '{print $3}' "/proc/$demo_pid/stat" 2>/dev/null)" = Z ] && break
    kill -0 "$demo_pid" 2>/dev/null || break
    sleep 0.01
  done
  end=$(date +%s%N)
  wait "$demo_pid"
  rc=$?
  echo "SIG$1 to exit: $(( (end - start) / 1000000 )) ms"
  local pid
  # A child (the start question's box) is killed by the kernel as its parent ends: give it a moment,
  # and count a zombie waiting to be reaped as ended.
  for pid in $children; do
    for _ in $(seq 100); do
      [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null || echo gone)" = R ] || \
        [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null || echo gone)" = S ] || break
      sleep 0.01
    done
    case "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null || echo gone)" in
      gone | Z | X) ;;
      *) fail "process $pid of the demo outlived it" ;;
    esac
  done
  [ "$rc" -eq 0 ] || fail "exit code $rc after SIG$1, expected 0"
  [ $(( (end - start) / 1000000 )) -le 2000 ] || fail "the demo took over 2 s to end after SIG$1"
  demo_pid=""
}

# The demo's clock trace lines "clock at wall W s music T s" from line $1 on, as "W T".
clock_pairs() { grep "clock at wall" "$work/stderr" | tail -n +"${1:-1}" | awk '{print $5, $8}'; }

# Plays the demo (windowed, through the private server) and records the sink's monitor for $1
# seconds from its $2-th clock trace line on (four a second; default 4), then ends the demo with
# SIGTERM and aligns the recording with the music (kestrane-soundcheck). The report goes to
# standard output and $work/soundcheck.txt.
# $3, when given, is the number of llvmpipe threads the demo draws with (LP_NUM_THREADS).
measure_sound_integrity() {
  local seconds=$1 recorder
  [ -z "${3:-}" ] || export LP_NUM_THREADS=$3
  demo_audio=pulseaudio KESTRANE_TRACE=1 start_demo "$source_dir" --window
  wait_trace "clock at wall" 60 "${2:-4}" || fail "no frames through the sound server"
  # 100 ms fragments: PipeWire's default ones are about 2 s, and the last one is lost at the kill;
  # a shorter request than the demo's would shorten PipeWire's graph period as the recorder joins,
  # which loses a period of the monitor at the recording's start.
  parec -d out.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=100 >"$work/monitor.raw" &
  recorder=$!
  sleep "$seconds"
  kill "$recorder"
  wait "$recorder" 2>/dev/null
  echo "load average while recording: $(cut -d' ' -f1-3 /proc/loadavg)"
  signal_and_expect_exit_zero TERM >/dev/null
  "$build/tools/soundcheck/kestrane-soundcheck" "$source_dir/$music_file" \
    "$work/monitor.raw" | tee "$work/soundcheck.txt"
}
