# debianSources.sh: fetching Debian's own source packages into $deps/src with a private apt
# state, sourced by the scripts that build the dependencies for another system (scripts/windows,
# scripts/web). They set deps (the dependency folder) and log (a function) before sourcing it.
# A private apt state with the deb-src entries of this machine's Debian archive: the system's own
# sources and package lists stay as they are.
apt_dir=$deps/apt
apt_opts=(-o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=/nonexistent
  -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" -o APT::Sandbox::User=root
  -o Debug::NoLocking=1)
debianSources() {
  # Every enabled Debian entry (one-line or deb822) as a deb-src line.
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -nE 's/^[[:space:]]*deb[[:space:]]+(\[[^]]*\][[:space:]]+)?/deb-src \1/p' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'function flush() { if (types ~ /(^| )deb( |$)/ && uris != "") {
            n = split(suites, s, " ");
            for (i = 1; i <= n; i++) print "deb-src " (key != "" ? "[signed-by=" key "] " : "") uris " " s[i] " " comps }
          types = uris = suites = comps = key = "" }
         /^[[:space:]]*$/ { flush(); next }
         /^#/ { next }
         { k = tolower($1); sub(/:$/, "", k); $1 = ""; sub(/^ /, "");
           if (k == "types") types = $0; else if (k == "uris") uris = $0; else if (k == "suites") suites = $0;
           else if (k == "components") comps = $0; else if (k == "signed-by") key = $0 }
         END { flush() }' "$f"
  done
}
fetchSources() {
  local name
  for name in zlib libpng1.6 mpg123 kissfft libsdl2; do
    [ -f "$deps/src/$name.fetched" ] || break
    [ "$name" = libsdl2 ] && return 0  # every source is there: no archive needed
  done
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$deps/src"
  debianSources | grep -E ' https?://[^ ]*/debian(-security)?/? |/archive/debian(-security)?/' >"$apt_dir/sources.list" || true
  [ -s "$apt_dir/sources.list" ] || { log "no Debian archive found in /etc/apt"; exit 1; }
  log "package lists of the source archive"
  apt-get "${apt_opts[@]}" update -qq
  # Each source package at the version of the Linux build's own -dev package when the archive still
  # holds it (the same library on both systems), else the newest version that can be fetched.
  local pair dev versions v
  for pair in zlib:zlib1g-dev libpng1.6:libpng-dev mpg123:libmpg123-dev kissfft:libkissfft-dev libsdl2:libsdl2-dev; do
    name=${pair%%:*} dev=${pair#*:}
    [ -f "$deps/src/$name.fetched" ] && continue
    versions=$( (dpkg-query -W -f='${source:Version}\n' "$dev" 2>/dev/null || true
      apt-cache "${apt_opts[@]}" showsrc "$name" | sed -n 's/^Version: //p' | sort -urV) | awk 'NF && !seen[$0]++')
    rm -rf "${deps:?}/src/$name"[-_]*
    for v in $versions; do
      log "apt-get source $name=$v"
      if (cd "$deps/src" && apt-get "${apt_opts[@]}" source -qq "$name=$v" >/dev/null 2>&1) ||
        unpackWithoutSignature "$name" "$v"; then
        echo "$v" >"$deps/src/$name.fetched"
        break
      fi
    done
    [ -f "$deps/src/$name.fetched" ] || { log "apt-get source $name failed for every version ($versions)"; exit 1; }
  done
}
unpackWithoutSignature() { # name, version
  # Some mirrors hold a package's files but not the upstream tarball's detached signature (.asc),
  # which makes apt-get source fail as a whole. Every file apt did fetch was checked against the
  # archive's signed index; they are checked against the .dsc again, then unpacked as dpkg-source
  # would: the upstream tarball, the debian/ tarball over it, the patches of debian/patches/series.
  local name=$1 v=${2#*:} dsc orig debtar dir
  dsc=$deps/src/${name}_$v.dsc
  [ -f "$dsc" ] || return 1
  (cd "$deps/src" && sed -n '/^Checksums-Sha256:/,/^[A-Z]/p' "$dsc" | awk 'NF == 3 && $3 !~ /\.asc$/ {print $1 "  " $3}' |
    sha256sum -c --quiet -) || return 1
  orig=$(ls "$deps/src/${name}_${v%-*}".orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -1)
  debtar=$(ls "$deps/src/${name}_$v".debian.tar.* 2>/dev/null | head -1)
  [ -n "$orig" ] && [ -n "$debtar" ] || return 1
  dir=$deps/src/$name-${v%-*}
  rm -rf "$dir" && mkdir -p "$dir"
  tar -xf "$orig" -C "$dir" --strip-components=1 && tar -xf "$debtar" -C "$dir" || return 1
  if [ -f "$dir/debian/patches/series" ]; then
    local patchName
    for patchName in $(sed -e 's/#.*//' "$dir/debian/patches/series"); do
      patch -d "$dir" -p1 -s <"$dir/debian/patches/$patchName" || return 1
    done
  fi
  log "$name $v unpacked without the upstream signature file, which the mirror lacks"
}
srcDir() {
  # The unpacked source folder of a source package (its name is the upstream name and version).
  local d
  for d in "$deps/src/$1"-*/; do
    [ -d "$d" ] && { echo "${d%/}"; return; }
  done
  log "no unpacked source for $1"
  exit 1
}

# Each dependency's licence files and Debian copyright, into $prefix/licenses/NAME.
copyLicences() { # package name, source folder, files
  local name=$1 s=$2
  shift 2
  mkdir -p "$prefix/licenses/$name"
  local f
  for f in "$@"; do cp "$s/$f" "$prefix/licenses/$name/"; done
  cp "$s/debian/copyright" "$prefix/licenses/$name/debian-copyright"
}
