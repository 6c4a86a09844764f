# wine.bash: shared steps of the Wine tests, sourced after tests/e2e/common.bash. They run the
# Windows package as unpacked (scripts/windows --package leaves it in build-windows/package/,
# or $KESTRANE_WINDOWS_PACKAGE) under Debian's wine64 on the test's own Xvfb, in a private
# WINEPREFIX made by the test. WINEDLLOVERRIDES keeps Wine from offering to download Mono and
# Gecko. Without the package or wine64 the test is skipped.
package=${KESTRANE_WINDOWS_PACKAGE:-}
if [ -z "$package" ]; then
  for package in "$source_dir"/build-windows/package/kestrane-*-win64; do break; done
fi
[ -f "$package/kestrane.exe" ] && [ -f "$package/kestrane-render.exe" ] ||
  skip "no Windows package (scripts/windows --package makes it)"
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
[ -x "$wine" ] || skip "no wine64 (Debian package wine64)"
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver64

export WINEPREFIX=$work/wineprefix
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64

# Every process of the private prefix (wineserver included) is stopped at exit.
at_exit '[ -d "$WINEPREFIX" ] && "$wineserver" -k >/dev/null 2>&1' 

# Makes the prefix (needs the display: start_x first). About 7 s on an idle machine.
make_prefix() {
  local started=$SECONDS
  "$wine" wineboot --init >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; fail "wineboot failed"; }
  "$wineserver" -w
  echo "Wine prefix made in $((SECONDS - started)) s"
}

# Runs the demo of the package in folder $1 (reading $1/data), with the arguments that follow, as
# start_demo does; $demo_audio picks the SDL audio driver (unset: SDL's choice, Wine's own).
start_windows_demo() {
  local dir=$1
  shift
  (cd "$dir" && exec env KESTRANE_DATA="$dir/data" ${demo_audio:+SDL_AUDIODRIVER=$demo_audio} \
    "$wine" "$package/kestrane.exe" "$@" >"$work/stdout" 2>"$work/stderr") &
  demo_pid=$!
}
