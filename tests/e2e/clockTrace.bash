# clockTrace.bash: reads the demo's KESTRANE_TRACE=frames output ($work/stderr): the music time of
# every drawn frame, the seeks, the sound server's own reports of what it played, and the sound
# device lost and back. Sourced by the sound tests after common.bash.

# Fails unless, from the first frame on, the picture's clock held at 0 while nothing was heard, then
# never stood still for more than two frames (34 ms) while the server played on, never jumped (a
# step more than 20 ms beyond the wall time between two frames, and beyond the catch-up pace of a
# fifth faster than real time) and never ran back, but for seeks, which hold their target until it
# is heard; and unless, while the sound plays, no frame was ahead of what the server said it had
# played by more than $2 ms, nor more than 25 ms behind its latest report for longer than catching
# up needs. What the server said is the best of its reports of the last quarter second,
# run on in real time (a server that reports once per processing cycle says too little between
# cycles). For 0.5 s after a hold ends the clock may still be catching up, and for 1 s after a lost
# server is back it slews onto the new server's sound: neither counts as behind or ahead.
# $1: what the run was.
expect_clock_follows_sound() {
  awk -v what="$1" -v tolerance="$2" '
    function problem(text) { if (problems < 5) printf "%s: %s\n", what, text; problems++ }
    BEGIN { behindSince = -1 }
    /-trace: seek / { hold = 1; held = -1; seeks++; behindSince = -1; next }
    /-trace: server played / { reports++; rm[reports] = $5; rw[reports] = $9; next }
    /-trace: sound device lost/ { lost++; since = reports; next }
    /-trace: sound device back/ { back++; settle = 1.0; settleFrom = -1; behindSince = -1; next }
    !/-trace: frame at wall / { next }
    {
      wall = $5; music = $8; frames++
      if (frames == 1) {
        first = wall; pw = wall; pm = music; start = music
        if (music != 0 && reports == 0) problem(sprintf("the first frame was at music %.3f s before the server reported playing", music))
        next
      }
      dw = wall - pw; dm = music - pm
      if (settleFrom < 0) settleFrom = wall
      if (!moved) {
        if (music != start) {
          moved = 1; movedAt = wall; settle = 0.5; settleFrom = wall
          if (reports == 0) problem(sprintf("moved at wall %.3f s before the server reported playing", wall))
        }
      } else if (hold) {
        # The first frame after a seek shows its target; the hold ends when the music moves on.
        if (held < 0) { held = music } else if (music != held) { hold = 0; still = 0; stillFrames = 0; since = reports; settle = 0.5; settleFrom = wall }
      } else if (dm == 0) {
        # Standing still counts only while the server played on (a loaded server stalls too).
        if (stillFrames == 0) stillFrom = (reports > since ? rm[reports] : -1)
        still += dw; stillFrames++
        if (still > 0.034 && stillFrames >= 2 && stillFrom >= 0 && rm[reports] - stillFrom > 0.034) {
          problem(sprintf("stood still %.0f ms at music %.3f s (wall %.3f s) while the server played %.0f ms", still * 1000, music, wall, (rm[reports] - stillFrom) * 1000))
          still = -1e9
        }
      } else {
        # Catching up, the clock may run a fifth faster than real time; 5 ms for when the reads fell.
        if (dm - dw > 0.020 && dm - dw > 0.2 * dw + 0.005) problem(sprintf("jumped %.0f ms in %.0f ms at music %.3f s (wall %.3f s)", dm * 1000, dw * 1000, music, wall))
        if (dm < 0) problem(sprintf("ran back %.0f ms at music %.3f s", -dm * 1000, music))
        still = 0; stillFrames = 0
      }
      heard = -1
      for (k = reports; k > since && k > 0 && rw[k] > wall - 0.25; k--)
        if (rw[k] <= wall && rm[k] + (wall - rw[k]) > heard) heard = rm[k] + (wall - rw[k])
      if (moved && !hold && heard >= 0 && wall - settleFrom > settle) {
        compared++
        if (music - heard > worst) worst = music - heard
        if (music - heard > tolerance / 1000) problem(sprintf("%.0f ms ahead of the server at music %.3f s (wall %.3f s)", (music - heard) * 1000, music, wall))
        # The latest report made before the frame read its time (a frame line is written once the
        # frame is presented, after reports that later reads observed).
        for (k = reports; k > since && rw[k] > wall; k--) ;
        if (k > since) {
          if (rm[k] - music > worstBehind) worstBehind = rm[k] - music
          # A server that plays a burst, or reports that come late (a loaded machine), leave the
          # clock behind until it has caught up at its promised pace, a fifth faster than real
          # time: behind counts once it lasted longer than that pace needs, and 0.3 s more.
          behind = rm[k] - music
          if (behind <= 0.025) { behindSince = -1 }
          else {
            if (behindSince < 0) { behindSince = wall; behindMost = 0 }
            if (behind > behindMost) behindMost = behind
            if (wall - behindSince > behindMost / 0.2 + 0.3) problem(sprintf("%.0f ms behind the server at music %.3f s (wall %.3f s), behind since wall %.3f s", behind * 1000, music, wall, behindSince))
          }
        }
      }
      pw = wall; pm = music
    }
    END {
      printf "%s: %d frames, %d seeks, %d server reports, first move %.3f s after the first frame; against the server (%d frames) at most %.1f ms ahead, %.1f ms behind; device lost %d, back %d\n",
        what, frames, seeks, reports, movedAt - first, compared, worst * 1000, worstBehind * 1000, lost, back
      if (frames < 30 || compared < 30) { printf "%s: too few frames\n", what; exit 1 }
      exit problems > 0
    }' "$work/stderr" || fail "$1: the picture's clock did not follow the sound"
}
