# clockTrace.bash: reads the demo's KESTRANE_TRACE=frames output ($work/stderr): the music time of
# every drawn frame, the seeks and the sound server's own reports of what it played. Sourced by the
# sound tests after common.bash.

# Fails unless, from the first frame on, the picture's clock held at 0 while nothing was heard, then
# never stood still for more than two frames (34 ms) and never jumped (a step more than 20 ms
# beyond the wall time between two frames), but for seeks, which hold their target until it is
# heard; and unless no frame was more than 5 ms ahead of the server's latest report of what it
# played, run on in real time. Prints what it read. $1: what the run was, for the messages.
expect_clock_follows_sound() {
  awk -v what="$1" '
    function problem(text) { if (problems < 5) printf "%s: %s\n", what, text; problems++ }
    /-trace: seek / { hold = 1; held = -1; seeks++; next }
    /-trace: server played / { rmusic = $5; rwall = $9; reports++; next }
    /-trace: sound device lost/ { lost++ }
    /-trace: sound device back/ { back++ }
    !/-trace: frame at wall / { next }
    {
      wall = $5; music = $8; frames++
      if (frames == 1) { first = wall; pw = wall; pm = music; start = music; still = 0; next }
      dw = wall - pw; dm = music - pm
      if (!moved) {
        if (music != start) {
          moved = 1; movedAt = wall
          if (reports == 0) problem(sprintf("moved at wall %.3f s before the server reported playing", wall))
        }
      } else if (hold) {
        # The first frame after a seek shows its target; the hold ends when the music moves on.
        if (held < 0) { held = music } else if (music != held) { hold = 0; still = 0; stillFrames = 0; rwall = 0 }
      } else if (dm == 0) {
        still += dw; stillFrames++
        if (still > 0.034 && stillFrames >= 2) { problem(sprintf("stood still %.0f ms at music %.3f s (wall %.3f s)", still * 1000, music, wall)); still = -1e9 }
      } else {
        if (dm - dw > 0.020) problem(sprintf("jumped %.0f ms in %.0f ms at music %.3f s (wall %.3f s)", dm * 1000, dw * 1000, music, wall))
        if (dm < 0) problem(sprintf("ran back %.0f ms at music %.3f s", -dm * 1000, music))
        still = 0; stillFrames = 0
      }
      if (moved && !hold && rwall > 0 && wall >= rwall) {
        ahead = music - (rmusic + (wall - rwall))
        if (ahead > worst) worst = ahead
        if (ahead > 0.005) problem(sprintf("%.0f ms ahead of the server at music %.3f s (wall %.3f s)", ahead * 1000, music, wall))
      }
      pw = wall; pm = music
    }
    END {
      printf "%s: %d frames, %d seeks, %d server reports, first move %.3f s after the first frame, at most %.1f ms ahead of the server; device lost %d, back %d\n",
        what, frames, seeks, reports, movedAt - first, worst * 1000, lost, back
      if (frames < 30) { printf "%s: too few frames\n", what; exit 1 }
      if (start != 0) { printf "%s: the first frame was at music %.3f s\n", what, start; exit 1 }
      exit problems > 0
    }' "$work/stderr" || fail "$1: the picture's clock did not follow the sound"
}
