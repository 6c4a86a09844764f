#!/usr/bin/env bash
# Key taps are never lost: twenty taps each of M, N, F1 and Escape, sent with no delay between key
# down and key up (both reach the program in one drain of its queue), each take effect once.
# M and N move the music one second on and back, F1 re-creates the window as "Tove", Escape ends
# the program with exit code 0.
source "$(dirname "$0")/common.bash" "$1" "$2"
export KESTRANE_TRACE=1
taps=20
start_x

# For each seek after the first: how far the music time of the next seek's frame lies from where
# the earlier seek put it (its frame's time plus the step, then running with the wall clock). The
# trace lines read "seek K at wall S s (frame at wall F s) from T s"; about 0 when each tap moved
# the music by the step and the clock ran on from there (less the moment the new audio takes to
# reach the output).
seek_errors() {
  grep "^kestrane-trace: seek $1 at" "$work/stderr" | sed 's/^[^0-9]*//; s/[^0-9. ]//g' |
    awk -v step="$2" '{ if (NR > 1) printf "%.3f\n", $3 - (t + step + $2 - s); s = $1; t = $3 }'
}

start_demo "$source_dir" --window
win=$(wait_window "$demo_title") || fail "no window"
wait_trace "clock at wall" || fail "no frame was drawn"
xdotool windowfocus "$win"
for key in M N; do
  lower=$(tr MN mn <<<"$key")
  for i in $(seq $taps); do
    tap_key "$lower"
    wait_trace "seek $key at" 20 "$i" || fail "tap $i of $key had no effect"
    sleep 0.2
  done
  sleep 1
  count=$(grep -c "seek $key at" "$work/stderr")
  [ "$count" -eq $taps ] || fail "$taps taps of $key gave $count seeks"
  step=$([ $key = M ] && echo 1 || echo -1)
  # A seek that moved two steps is a second ahead, one that moved none a second behind; the clock's
  # hold at a seek target until the new audio is heard puts it behind by the output's latency
  # (one or two device buffers, more on a loaded machine): anything short of 0.9 s behind is that.
  errors=$(seek_errors $key "$step")
  echo "$key: music off its step by" $errors
  awk '{ if ($1 < -0.9 || $1 > 0.5) bad = bad " " $1 }
    END { if (bad != "") { print "music off its one-second step by:" bad; exit 1 } }' <<<"$errors" ||
    fail "$key steps"
done

for i in $(seq $taps); do
  tap_key F1
  wait_trace "window re-created" 60 "$i" || fail "tap $i of F1 did not re-create the window"
  win=$(wait_window "$reopened_title") || fail "the window re-created by tap $i is not titled Tove"
  wait_trace "clock at wall" 30 $(( $(grep -c "clock at wall" "$work/stderr") + 1 )) ||
    fail "no frame after tap $i of F1"
  xdotool windowfocus "$win" 2>/dev/null
done
sleep 1
count=$(grep -c "window re-created" "$work/stderr")
[ "$count" -eq $taps ] || fail "$taps taps of F1 re-created the window $count times"
xwininfo -root -tree | grep -qF "\"$demo_title\"" && fail "the first window is still there"
tap_key Escape
expect_exit_zero 20

for i in $(seq $taps); do
  start_demo "$source_dir" --window
  win=$(wait_window "$demo_title") || fail "no window in run $i"
  wait_trace "clock at wall" || fail "no frame was drawn in run $i"
  xdotool windowfocus "$win"
  tap_key Escape
  expect_exit_zero 20
  grep -q "loop ended (escape)" "$work/stderr" || fail "run $i did not end on Escape"
done
echo "PASS"
