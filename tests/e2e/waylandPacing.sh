#!/usr/bin/env bash
# Frame pacing under a real compositor: the demo in a window under headless Weston, vsync on, its
# sound through a private PulseAudio, every frame traced (KESTRANE_TRACE=frames). Presentations
# follow the output's repaint cycle (the median interval): most of them within 2 ms of it, and
# frames shown twice in a row (an interval of twice the cycle) are rare; each frame's music time is
# predicted for its presentation (the swap's return), and the music time's step from frame to frame
# is the step of those moments, without judder from the clock. Prints the figures, and the demo's
# CPU time per second with vsync on against vsync off. The bounds leave room for a loaded machine
# (headless Weston's cycle runs on timers, which load delays); the figures are in docs/benchmarks.md.
source "$(dirname "$0")/common.bash" "$1" "$2"
source "$(dirname "$0")/weston.bash"
# The server first: each sets XDG_RUNTIME_DIR, and the demo finds the server by PULSE_SERVER.
start_sound_server pulseaudio
start_weston 1024 768

cpu_ticks() { awk '{print $14 + $15}' "/proc/$demo_pid/stat"; }
ticks_per_second=$(getconf CLK_TCK)

# run_demo VSYNC SECONDS: the demo in a window with --vsync VSYNC, traced; once the server plays,
# its CPU time per second over SECONDS goes to $cpu.
run_demo() {
  KESTRANE_TRACE=frames demo_audio=pulseaudio start_demo "$source_dir" --window --vsync "$1"
  wait_wl_window "$demo_title" >/dev/null || fail "vsync $1: no window"
  wait_trace "server played" 30 || fail "vsync $1: the server never played the music"
  sleep 2
  local ticks
  ticks=$(cpu_ticks)
  sleep "$2"
  cpu=$(awk -v t="$(($(cpu_ticks) - ticks))" -v hz="$ticks_per_second" -v s="$2" 'BEGIN {printf "%.3f", t / hz / s}')
  signal_and_expect_exit_zero TERM >/dev/null
}

run_demo off 6
cpu_off=$cpu
grep -q "vsync off asked, swap interval 0 granted" "$work/stderr" || fail "vsync off was not granted: $(grep vsync "$work/stderr")"
unpaced_frames=$(grep -c "trace: frame at wall" "$work/stderr")
run_demo on 12
cpu_on=$cpu
grep -q "vsync on asked, swap interval 1 granted" "$work/stderr" || fail "vsync on was not granted: $(grep vsync "$work/stderr")"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "CPU time per second: vsync off $cpu_off s ($unpaced_frames frames traced), vsync on $cpu_on s"

# From the frames of the last 8 s of the paced run: the presentation intervals against their median
# (the output's cycle); each frame's music time against its presentation (the moment its time stands
# for, predicted, against the swap's return); and the music steps against the steps of those moments
# (the clock's own judder) and against the cycle.
# Headless Weston's cycle runs on timers: with more runnable processes than cores (a load average
# over the core count) it wanders by several milliseconds whatever the demo does, so the intervals'
# regularity is judged only below that load; the rest holds at any load.
awk -v load="$(cut -d' ' -f1 /proc/loadavg)" -v cores="$(nproc)" '
  function median(a, n,   i, j, v, s) {
    for (i = 1; i <= n; i++) s[i] = a[i]
    for (i = 2; i <= n; i++) { v = s[i]; for (j = i - 1; j >= 1 && s[j] > v; j--) s[j + 1] = s[j]; s[j + 1] = v }
    return n % 2 ? s[(n + 1) / 2] : (s[n / 2] + s[n / 2 + 1]) / 2
  }
  function sd(a, n,   i, sum, sumsq) { for (i = 1; i <= n; i++) { sum += a[i]; sumsq += a[i] * a[i] } return sqrt(sumsq / n - (sum / n) ^ 2) }
  !/-trace: frame at wall / { next }
  { n++; shownAt[n] = $5; music[n] = $8; presented[n] = $13; read[n] = $18 }
  END {
    first = 1; while (first < n && presented[first] < presented[n] - 8) first++
    for (i = first + 1; i <= n; i++) {
      m++; interval[m] = presented[i] - presented[i - 1]; step[m] = music[i] - music[i - 1]
      judder[m] = step[m] - (shownAt[i] - shownAt[i - 1]); miss[m] = shownAt[i] - presented[i]; lead[m] = shownAt[i] - read[i]
      againstPresented[m] = step[m] - interval[m]
    }
    if (m < 100) { printf "too few frames: %d\n", m; exit 1 }
    cycle = median(interval, m)
    for (i = 1; i <= m; i++) {
      if (interval[i] - cycle < 0.002 && cycle - interval[i] < 0.002) within++
      if (interval[i] > 1.5 * cycle) twice++
      aroundCycle[i] = step[i] - cycle
    }
    printf "%d frames: repaint cycle %.2f ms (SD %.2f ms), %.1f %% of intervals within 2 ms of it, %d shown twice\n", m, cycle * 1000, sd(interval, m) * 1000, within * 100 / m, twice
    printf "music time predicted %.1f ms ahead of the reading (median), %+.2f ms from the presentation (median); music step against the predicted step SD %.2f ms (the clock), against the presentation step SD %.2f ms, around the cycle SD %.2f ms\n",
      median(lead, m) * 1000, median(miss, m) * 1000, sd(judder, m) * 1000, sd(againstPresented, m) * 1000, sd(aroundCycle, m) * 1000
    bad = 0
    if (load > cores) printf "intervals within 2 ms of the cycle not judged: load average %s over %d\n", load, cores
    else if (within < 0.5 * m) { print "FAIL: fewer than 50 % of the intervals within 2 ms of the cycle"; bad = 1 }
    if (twice > 0.05 * m) { print "FAIL: more than 5 % of the frames shown twice"; bad = 1 }
    if (median(lead, m) < 0.005) { print "FAIL: frames are not drawn for their presentation"; bad = 1 }
    if (median(miss, m) > 0.003 || median(miss, m) < -0.003) { print "FAIL: the predicted presentation misses by more than 3 ms"; bad = 1 }
    if (sd(judder, m) > 0.001) { print "FAIL: the music clock judders (SD over 1 ms)"; bad = 1 }
    exit bad
  }' "$work/stderr" || fail "frames were not paced"
