#!/usr/bin/env bash
# cmake --install into a temporary prefix, the prefix then moved elsewhere: the installed renderer,
# run from a third folder with the build tree's data switched off, writes the same frame as the
# build's renderer from the repository root, and reads its own installed data even without that
# switch; the desktop entry passes desktop-file-validate, the icon is a 256x256 PNG, and the man
# page renders without warnings.
source "$(dirname "$0")/common.bash" "$1" "$2"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
unset KESTRANE_DATA KESTRANE_IGNORE_BUILD_TREE

cmake --install "$build" --prefix "$work/prefix" >"$work/stdout" 2>"$work/stderr" || fail "cmake --install failed"
mv "$work/prefix" "$work/moved"
moved=$work/moved
for f in bin/kestrane bin/kestrane-render share/kestrane/data/shaders/blur.frag \
         "share/kestrane/$music_file" share/kestrane/data/3d/deformed2.obj \
         share/applications/kestrane.desktop share/icons/hicolor/256x256/apps/kestrane.png \
         share/man/man6/kestrane.6; do
  [ -f "$moved/$f" ] || fail "not installed: $f"
done
[ "$(find "$moved/share/kestrane/data/textures" -name '*.png' | wc -l)" -eq 52 ] || fail "not 52 pictures installed"

(cd "$source_dir" && "$build/kestrane-render" --time 10 --out "$work/fromRoot" >"$work/stdout" 2>"$work/stderr") ||
  fail "the build's renderer failed from the repository root"
mkdir -p "$work/third"
(cd "$work/third" && KESTRANE_IGNORE_BUILD_TREE=1 "$moved/bin/kestrane-render" --time 10 --out frames \
   >"$work/stdout" 2>"$work/stderr") || fail "the installed renderer failed after the prefix was moved"
cmp -s "$work/fromRoot/t10.000.png" "$work/third/frames/t10.000.png" ||
  fail "the installed renderer's frame differs from the build's"

# The installed program reads the installed data, never the source tree the build came from.
rm -f "$moved/share/kestrane/$music_file"
(cd "$work/third" && "$moved/bin/kestrane-render" --time 10 --out again >"$work/stdout" 2>"$work/stderr") ||
  fail "the installed renderer failed without its music"
[ "$(head -2 "$work/stdout")" = "$(printf 'Error!\nFile Not Found')" ] ||
  fail "the installed renderer did not read its own data folder"

desktop=$moved/share/applications/kestrane.desktop
desktop-file-validate "$desktop" >"$work/stdout" 2>&1 || fail "desktop-file-validate: $(cat "$work/stdout")"
grep -Eq "^[^:]*: (error|warning):" "$work/stdout" && fail "desktop-file-validate: $(cat "$work/stdout")"
for line in "Exec=kestrane" "Icon=kestrane" "Type=Application"; do
  grep -qx "$line" "$desktop" || fail "the desktop entry lacks $line"
done
grep -q "^Name=." "$desktop" && grep -q "^Comment=." "$desktop" || fail "the desktop entry lacks Name or Comment"
grep -Eq "^Categories=(.*;)?AudioVideo;" "$desktop" && grep -Eq "^Categories=(.*;)?Game;" "$desktop" ||
  fail "the desktop entry's categories lack AudioVideo or Game"

[ "$(identify -format '%m %wx%h' "$moved/share/icons/hicolor/256x256/apps/kestrane.png")" = "PNG 256x256" ] ||
  fail "the icon is not a 256x256 PNG"

MANWIDTH=80 man -l --warnings "$moved/share/man/man6/kestrane.6" >"$work/stdout" 2>"$work/stderr" ||
  fail "man -l failed"
[ -s "$work/stderr" ] && fail "the man page renders with warnings: $(cat "$work/stderr")"
for word in Escape F1 --fullscreen --window --help --version KESTRANE_DATA share/kestrane/data; do
  grep -q -- "$word" "$work/stdout" || fail "the man page does not mention $word"
done
echo "PASS"
