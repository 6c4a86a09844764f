# common.bash: shared steps of the whole-program tests. Sourced by each tests/e2e/*.sh with
# $1 = build folder, $2 = source folder. Starts a private Xvfb (800x600 unless a test asks for
# another screen) and cleans up every process it started.
set -u
build=$1
source_dir=$2
work=$(mktemp -d)
demo_pid=""
xvfb_pid=""
pulse_pid=""

cleanup() {
  [ -n "$demo_pid" ] && kill -9 "$demo_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  stop_pulse
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/stdout "$work"/stderr; do [ -f "$f" ] && { echo "--- $f"; tail -20 "$f"; } >&2; done
  exit 1
}

# Xvfb picks a free display number itself (-displayfd) and writes it once it accepts clients, so
# tests started at the same moment never end up sharing one display and each other's windows.
# -noreset: without it the server resets whenever its last client leaves (the start question's
# own connection, say), refusing connections for a moment and dropping every window.
# start_x [WxH [Xvfb options...]]: the screen size (default 800x600) and e.g. -wr (white root).
start_x() {
  local screen=${xvfb_screen:-800x600x24}
  if [ $# -gt 0 ]; then
    screen="$1x24"
    shift
  fi
  Xvfb -displayfd 3 -noreset -screen 0 "$screen" -nolisten tcp "$@" 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    if [ -s "$work/display" ]; then
      export DISPLAY=":$(head -1 "$work/display")"
      xdpyinfo >/dev/null 2>&1 && return 0
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  fail "no Xvfb display could be started"
}

# Starts the demo in folder $1, reading $1/data, with the arguments that follow, through the audio
# driver named by $demo_audio (SDL's dummy driver unless a test sets it).
start_demo() {
  local dir=$1
  shift
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

# ---------------------------------------------------------------------------------------------
# A private PulseAudio server: user mode (also as root), its own runtime folder, one null sink
# "out" whose monitor "out.monitor" can be recorded, never exiting on idle. Clients started after
# start_pulse (the demo with demo_audio=pulseaudio, parec) reach only this server, and none of
# them may start a server of its own. isolate_pulse alone sets up the same surroundings with no
# server: clients then find none.
# ---------------------------------------------------------------------------------------------
isolate_pulse() {
  export XDG_RUNTIME_DIR=$work/pulse-runtime
  export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
  export PULSE_STATE_PATH=$work/pulse-state
  export PULSE_SERVER=unix:$PULSE_RUNTIME_PATH/native
  export PULSE_CLIENTCONFIG=$work/pulse-client.conf
  mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
  chmod 700 "$XDG_RUNTIME_DIR"
  echo "autospawn = no" >"$PULSE_CLIENTCONFIG"
}

start_pulse() {
  isolate_pulse
  pulseaudio --daemonize=no --exit-idle-time=-1 --system=no -n --use-pid-file=yes \
    --load="module-null-sink sink_name=out" \
    --load="module-native-protocol-unix auth-anonymous=1" >"$work/pulse.log" 2>&1 &
  pulse_pid=$!
  for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && return 0
    kill -0 "$pulse_pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$work/pulse.log" >&2
  fail "no PulseAudio server could be started"
}

# Kills the server at once (SIGKILL), as a crash would.
kill_pulse() {
  [ -n "$pulse_pid" ] || return 0
  kill -9 "$pulse_pid" 2>/dev/null
  wait "$pulse_pid" 2>/dev/null
  pulse_pid=""
}

stop_pulse() {
  [ -n "$pulse_pid" ] || return 0
  kill "$pulse_pid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$pulse_pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$pulse_pid" 2>/dev/null
  pulse_pid=""
}

# The demo's clock trace lines "clock at wall W s music T s" from line $1 on, as "W T".
clock_pairs() { grep "clock at wall" "$work/stderr" | tail -n +"${1:-1}" | awk '{print $5, $8}'; }

# Plays the demo (windowed, through the private server) and records the sink's monitor for $1
# seconds from its $2-th clock trace line on (four a second; default 4), then ends the demo with
# SIGTERM and aligns the recording with the music (kestrane-soundcheck). The report goes to
# standard output and $work/soundcheck.txt.
measure_sound_integrity() {
  local seconds=$1 recorder
  demo_audio=pulseaudio KESTRANE_TRACE=1 start_demo "$source_dir" --window
  wait_trace "clock at wall" 60 "${2:-4}" || fail "no frames through the sound server"
  parec -d out.monitor --raw --format=s16le --rate=44100 --channels=2 >"$work/monitor.raw" &
  recorder=$!
  sleep "$seconds"
  kill "$recorder"
  wait "$recorder" 2>/dev/null
  echo "load average while recording: $(cut -d' ' -f1-3 /proc/loadavg)"
  signal_and_expect_exit_zero TERM >/dev/null
  "$build/tools/soundcheck/kestrane-soundcheck" "$source_dir/data/music/ivo_marenk_-_kestrane.mp3" \
    "$work/monitor.raw" | tee "$work/soundcheck.txt"
}
