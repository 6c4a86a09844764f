# parts.bash: the real parts the whole-program tests and the measuring scripts run the demo among,
# started and stopped here: a private Xvfb, a private sound server (PulseAudio, or PipeWire with
# its PulseAudio service) and a private headless Weston. Sourced with two arguments, the build
# folder and the source folder:
#   source tests/e2e/parts.bash "$build" "$root"
# Everything it starts goes in $work (a fresh temporary folder) and is stopped on exit: each start
# registers its stop with at_exit, and the steps run newest first when the shell exits, then $work
# is removed.
set -u
build=$1
source_dir=$2
work=$(mktemp -d)
exit_steps=()

# at_exit COMMAND...: runs COMMAND (a string, evaluated then) when the shell exits, before the steps
# registered earlier.
at_exit() { exit_steps+=("$*"); }

run_exit_steps() {
  local i
  for ((i = ${#exit_steps[@]} - 1; i >= 0; i--)); do eval "${exit_steps[i]}" || true; done
  rm -rf "$work"
}
trap run_exit_steps EXIT

fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/stdout "$work"/stderr; do [ -f "$f" ] && { echo "--- $f"; tail -20 "$f"; } >&2; done
  # The picture's fits and the last screenshot, kept for a failure that does not come back at once.
  [ -f "$work/stderr" ] && grep "trace: picture " "$work/stderr" | tail -4 >&2
  if [ -f "$work/shot.png" ]; then
    local kept=${TMPDIR:-/tmp}/kestrane-failed-$(basename "$0" .sh).png
    cp "$work/shot.png" "$kept" && echo "--- last screenshot kept as $kept" >&2
  fi
  exit 1
}

# A test that cannot run here (no privilege for a mount, say) says why and exits 77, which CTest
# reports as skipped, not passed.
skip() {
  echo "SKIPPED: $*"
  exit 77
}

# ---------------------------------------------------------------------------------------------
# Xvfb
# ---------------------------------------------------------------------------------------------
xvfb_pid=""
# Xvfb picks a free display number itself (-displayfd) and writes it once it accepts clients, so
# tests started at the same moment never end up sharing one display and each other's windows.
# -noreset: without it the server resets whenever its last client leaves (the start question's
# own connection, say), refusing connections for a moment and dropping every window.
# start_x [WxH [Xvfb options...]]: the screen size (default 800x600) and e.g. -wr (white root).
start_x() {
  unset WAYLAND_DISPLAY  # a test run from a Wayland session must still use this X server
  local screen=${xvfb_screen:-800x600x24}
  if [ $# -gt 0 ]; then
    screen="$1x24"
    shift
  fi
  Xvfb -displayfd 3 -noreset -screen 0 "$screen" -nolisten tcp "$@" 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  at_exit 'end_process "$xvfb_pid" 10'
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

# ---------------------------------------------------------------------------------------------
# Private sound servers: PulseAudio, or PipeWire with its PulseAudio service. Either runs in user
# mode (also as root) in its own runtime folder with one null sink "out", the default sink, whose
# monitor "out.monitor" can be recorded; it never exits on idle. Clients started after the server
# (the demo with demo_audio=pulseaudio, pactl, parec) reach only this server through PULSE_SERVER,
# and none of them may start a server of its own. isolate_pulse alone sets up the same
# surroundings with no server: clients then find none.
# ---------------------------------------------------------------------------------------------
at_exit stop_sound_server
pulse_pid=""
sound_server=""    # pulseaudio or pipewire: the kind last started, for restart_sound_server
pipewire_pids=""   # pipewire, wireplumber and the pulse service, as started by start_pipewire
dbus_pid=""        # the private session bus WirePlumber needs

isolate_pulse() {
  export XDG_RUNTIME_DIR=$work/pulse-runtime
  export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
  export PULSE_STATE_PATH=$work/pulse-state
  export PULSE_SERVER=unix:$PULSE_RUNTIME_PATH/native
  export PULSE_CLIENTCONFIG=$work/pulse-client.conf
  unset PIPEWIRE_RUNTIME_DIR PIPEWIRE_REMOTE
  mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
  chmod 700 "$XDG_RUNTIME_DIR"
  echo "autospawn = no" >"$PULSE_CLIENTCONFIG"
}

start_pulse() {
  isolate_pulse
  sound_server=pulseaudio
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

# Asks process $1 (a child of this shell; nothing when empty) to end, gives it $2 tenths of a
# second, then kills it, and reaps it.
end_process() {
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null
  for _ in $(seq "$2"); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

stop_pulse() {
  end_process "$pulse_pid" 50
  pulse_pid=""
}

# Writes the configuration of PipeWire's PulseAudio service (the modules of Debian's
# pipewire-pulse.conf, real-time scheduling included as on a desktop: without it the service's
# data thread starves beside a busy demo and the sink gets gaps; listening on $PULSE_SERVER's
# socket), and keeps
# WirePlumber off every real device (sound cards, cameras, Bluetooth) so that a test never opens
# the machine's hardware and only the null sinks it makes exist.
write_pipewire_config() {
  local config=$work/sound-config
  mkdir -p "$config/wireplumber/main.lua.d" "$config/wireplumber/bluetooth.lua.d"
  printf '%s\n' \
    'context.spa-libs = {' \
    '  audio.convert.* = audioconvert/libspa-audioconvert' \
    '  support.*       = support/libspa-support' \
    '}' \
    'context.modules = [' \
    '  { name = libpipewire-module-rt args = { nice.level = -11 } flags = [ ifexists nofail ] }' \
    '  { name = libpipewire-module-protocol-native }' \
    '  { name = libpipewire-module-client-node }' \
    '  { name = libpipewire-module-adapter }' \
    '  { name = libpipewire-module-metadata }' \
    '  { name = libpipewire-module-protocol-pulse' \
    "    args = { server.address = [ \"unix:$PULSE_RUNTIME_PATH/native\" ] } }" \
    ']' >"$config/pipewire-pulse.conf"
  printf '%s\n' "alsa_monitor.enabled = false" "v4l2_monitor.enabled = false" \
    "libcamera_monitor.enabled = false" >"$config/wireplumber/main.lua.d/51-no-devices.lua"
  echo "bluez_monitor.enabled = false" >"$config/wireplumber/bluetooth.lua.d/51-no-devices.lua"
}

# Prints the PipeWire logs to standard error and fails with message $1.
fail_pipewire() {
  local f
  for f in dbus pipewire wireplumber pipewire-pulse; do
    [ -f "$work/$f.log" ] && { echo "--- $f.log"; tail -30 "$work/$f.log"; } >&2
  done
  fail "$1"
}

# Waits up to $1 tenths of a second for command $2... to succeed; gives up at once when a process
# of the PipeWire stack has died.
wait_pipewire() {
  local tries=$1 pid
  shift
  for _ in $(seq "$tries"); do
    "$@" >/dev/null 2>&1 && return 0
    for pid in $dbus_pid $pipewire_pids; do
      kill -0 "$pid" 2>/dev/null && continue
      echo "process $pid of the PipeWire stack has ended" >&2
      return 1
    done
    sleep 0.1
  done
  return 1
}

sink_is_default() { [ "$(pactl get-default-sink 2>/dev/null)" = "$1" ]; }
pipewire_serves_pulse() { pactl info 2>/dev/null | grep -q "^Server Name: .*PipeWire"; }

# PipeWire with WirePlumber and its PulseAudio service, on a private session bus (WirePlumber links
# no stream without one). Returns once pulse clients are accepted and "out" is the default sink,
# which shows that WirePlumber's policy runs.
# One attempt at starting the stack; on failure the reason is in $pipewire_failure and 1 returned.
start_pipewire_once() {
  local bus=$XDG_RUNTIME_DIR/bus
  rm -f "$bus"
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$bus" >"$work/dbus.log" 2>&1 &
  dbus_pid=$!
  pipewire_failure="no session bus for PipeWire could be started"
  wait_pipewire 50 test -S "$bus" || return 1
  # The servers' settings and state stay in the work folder; the clients keep the test's own.
  local env=(env XDG_CONFIG_HOME="$work/sound-config" XDG_STATE_HOME="$work/sound-state"
    DBUS_SESSION_BUS_ADDRESS="unix:path=$bus")
  "${env[@]}" pipewire >"$work/pipewire.log" 2>&1 &
  pipewire_pids=$!
  pipewire_failure="PipeWire did not start"
  wait_pipewire 50 test -S "$XDG_RUNTIME_DIR/pipewire-0" || return 1
  "${env[@]}" wireplumber >"$work/wireplumber.log" 2>&1 &
  pipewire_pids="$pipewire_pids $!"
  "${env[@]}" pipewire -c "$work/sound-config/pipewire-pulse.conf" \
    >"$work/pipewire-pulse.log" 2>&1 &
  pipewire_pids="$pipewire_pids $!"
  pipewire_failure="PipeWire's PulseAudio service accepts no clients"
  wait_pipewire 100 pipewire_serves_pulse || return 1
  pipewire_failure="no null sink \"out\""
  pactl load-module module-null-sink sink_name=out >/dev/null || return 1
  pactl set-default-sink out
  pipewire_failure="the null sink \"out\" is not the default"
  wait_pipewire 100 sink_is_default out || return 1
}

# Started again after a kill in the same runtime folder, PipeWire now and then exits at once with
# nothing in its log (twice in four CI runs here, on a 2-core machine): one more attempt, from a
# clean stop, before the test fails.
start_pipewire() {
  isolate_pulse
  sound_server=pipewire
  write_pipewire_config
  start_pipewire_once && return 0
  echo "PipeWire: $pipewire_failure; starting the stack once more" >&2
  stop_pipewire
  start_pipewire_once || fail_pipewire "$pipewire_failure"
}

kill_pipewire() {
  local pid
  for pid in $pipewire_pids $dbus_pid; do kill -9 "$pid" 2>/dev/null; done
  for pid in $pipewire_pids $dbus_pid; do wait "$pid" 2>/dev/null; done
  pipewire_pids=""
  dbus_pid=""
}

# Ends the pulse service first, then WirePlumber, PipeWire and the bus, each given 3 s.
stop_pipewire() {
  local pid
  for pid in $(echo $pipewire_pids | awk '{for (i = NF; i > 0; i--) print $i}') $dbus_pid; do
    kill "$pid" 2>/dev/null
    for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  kill_pipewire
}

# start_sound_server pulseaudio|pipewire: starts that server as described above, in place of any
# server this test runs already.
start_sound_server() {
  stop_sound_server
  case "$1" in
    pulseaudio) start_pulse ;;
    pipewire) start_pipewire ;;
    *) fail "unknown sound server '$1'" ;;
  esac
}

# Kills whatever server runs at once (SIGKILL), as a crash would: its clients see it go away.
kill_sound_server() {
  kill_pulse
  kill_pipewire
}

# Stops whatever server runs, cleanly where it can.
stop_sound_server() {
  stop_pulse
  stop_pipewire
}

# Starts the kind of server last started again, in the same runtime folder and with the sink "out",
# so that a client reconnecting to $PULSE_SERVER finds it; kills the old one first if it still runs.
restart_sound_server() {
  [ -n "$sound_server" ] || fail "no sound server to restart"
  kill_sound_server
  start_sound_server "$sound_server"
}

# Adds a null sink named $1 (its monitor is "$1.monitor"), e.g. as a target of move-sink-input.
add_null_sink() {
  pactl load-module module-null-sink sink_name="$1" >/dev/null || fail "no null sink \"$1\""
  for _ in $(seq 50); do
    pactl list short sinks | awk '{print $2}' | grep -qxF -- "$1" && return 0
    sleep 0.1
  done
  fail "the null sink \"$1\" did not appear"
}

# move_stream INPUT SINK: moves the sink input INPUT to the sink named SINK and waits until the
# server lists it there (true), up to 10 s. The move is asked again every half second: PipeWire's
# session manager drops a move to a sink it has not taken in yet, and a loaded PipeWire takes
# seconds to list a move it made.
move_stream() {
  local sink
  sink=$(pactl list short sinks | awk -v name="$2" '$2 == name {print $1}')
  for _ in $(seq 20); do
    pactl move-sink-input "$1" "$2" || return 1
    for _ in $(seq 5); do
      pactl list short sink-inputs | awk -v s="$1" -v k="$sink" '$1 == s && $2 == k {found = 1} END {exit !found}' &&
        return 0
      sleep 0.1
    done
  done
  return 1
}

# ---------------------------------------------------------------------------------------------
# Headless Weston. It runs with the pixman renderer and --debug (for its screenshooter) in its own
# XDG_RUNTIME_DIR, with our module tests/e2e/weston/testSeat.c giving it a seat whose keys a test
# presses and whose window list it reads (weston.bash has the commands). The desktop's background is
# white, so any white seen is desktop that no window covers.
# ---------------------------------------------------------------------------------------------
weston_pid=""

# start_weston WIDTH HEIGHT [weston options...]: a headless output whose desktop is WIDTH x HEIGHT
# logical units (with --scale=2 the output and its screenshots have twice as many pixels each way). Exports WAYLAND_DISPLAY and unsets DISPLAY,
# as in a Wayland session without Xwayland; skips the test where Weston or the module is missing.
start_weston() {
  local width=$1 height=$2
  shift 2
  command -v weston >/dev/null || skip "no weston"
  command -v weston-screenshooter >/dev/null || skip "no weston-screenshooter"
  [ -f "$build/tests/kestrane-test-seat.so" ] || skip "the Weston test module was not built (libweston-10-dev)"
  export XDG_RUNTIME_DIR=$work/wayland-runtime
  mkdir -p "$XDG_RUNTIME_DIR" "$work/shots"
  chmod 700 "$XDG_RUNTIME_DIR"
  export KESTRANE_WESTON_CONTROL=$work/weston-control KESTRANE_WESTON_REPLIES=$work/weston-replies
  rm -f "$KESTRANE_WESTON_CONTROL"
  mkfifo "$KESTRANE_WESTON_CONTROL"
  # Held open for reading and writing, so that a write never waits for a reader.
  exec 7<>"$KESTRANE_WESTON_CONTROL"
  : >"$KESTRANE_WESTON_REPLIES"
  printf '%s\n' '[core]' 'idle-time=0' '[shell]' 'panel-position=none' 'background-color=0xffffffff' \
    'locking=false' 'animation=none' 'close-animation=none' 'startup-animation=none' \
    'focus-animation=none' >"$work/weston.ini"
  unset DISPLAY WAYLAND_DISPLAY
  weston --backend=headless-backend.so --use-pixman --debug --idle-time=0 --socket=kestrane-test \
    --width="$width" --height="$height" --config="$work/weston.ini" \
    --modules="$build/tests/kestrane-test-seat.so" "$@" >"$work/weston.log" 2>&1 &
  weston_pid=$!
  at_exit stop_weston
  for _ in $(seq 100); do
    if [ -S "$XDG_RUNTIME_DIR/kestrane-test" ] && grep -q "kestrane test seat: commands" "$work/weston.log"; then
      export WAYLAND_DISPLAY=kestrane-test
      weston_ask outputs >/dev/null && return 0
    fi
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.1
  done
  tail -20 "$work/weston.log" >&2
  fail "Weston did not start"
}

stop_weston() {
  end_process "$weston_pid" 30
  weston_pid=""
}

# weston_ask COMMAND...: sends a command to the test module and prints its reply lines without
# their tag; fails when Weston does not answer within 5 s or reports an error.
weston_ask() {
  # The tag counter lives in a file: weston_ask runs in command substitutions (subshells) too.
  local tag=$(( $(cat "$work/weston-tag" 2>/dev/null || echo 0) + 1 ))
  echo "$tag" >"$work/weston-tag"
  echo "$tag $*" >&7
  for _ in $(seq 50); do
    if grep -q "^$tag \(done\|error\)" "$KESTRANE_WESTON_REPLIES"; then
      grep -q "^$tag error" "$KESTRANE_WESTON_REPLIES" && fail "Weston: $(grep "^$tag error" "$KESTRANE_WESTON_REPLIES")"
      grep "^$tag " "$KESTRANE_WESTON_REPLIES" | grep -v "^$tag done" | cut -d' ' -f2-
      return 0
    fi
    kill -0 "$weston_pid" 2>/dev/null || fail "Weston has ended"
    sleep 0.1
  done
  fail "Weston did not answer '$*'"
}

