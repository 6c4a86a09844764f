#!/usr/bin/env bash
# scripts/package builds kestrane_<version>_<arch>.deb and prints its path; the control file lists
# the libraries the programs need (computed by dpkg-shlibdeps), recommends ffmpeg, and the package
# holds both programs, the data folder, the desktop entry, the icon and the man page under /usr.
source "$(dirname "$0")/common.bash" "$1" "$2"

# The package is made from the tree the suite already built: no set-up or build from inside a test.
deb=$(KESTRANE_BUILD=$build "$source_dir/scripts/package" --built 2>"$work/stderr") || fail "scripts/package failed"
[ -f "$deb" ] || fail "scripts/package printed '$deb', which is no file"
version=$(sed -n 's/^project(kestrane VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
[ "$(basename "$deb")" = "kestrane_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "package name $(basename "$deb"), expected kestrane_${version}_$(dpkg --print-architecture).deb"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libsdl2 libmpg123 libpng16 libglu libkissfft libc6 libstdc++6 libgl1 libegl1; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
# ffmpeg for the video export, zenity for the start question in a Wayland session.
[ "$(dpkg-deb -f "$deb" Recommends)" = "ffmpeg, zenity" ] || fail "Recommends is not ffmpeg, zenity: $(dpkg-deb -f "$deb" Recommends)"
[ "$(dpkg-deb -f "$deb" Package)" = "kestrane" ] || fail "package name field"

dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
for f in ./usr/bin/kestrane ./usr/bin/kestrane-render ./usr/share/kestrane/data/shaders/blur.frag \
         "./usr/share/kestrane/$music_file" ./usr/share/applications/kestrane.desktop \
         ./usr/share/icons/hicolor/256x256/apps/kestrane.png ./usr/share/man/man6/kestrane.6; do
  grep -qx -- "$f" "$work/contents" || fail "the package lacks $f"
done
echo "PASS"
