#!/usr/bin/env bash
# kestrane-render.exe under Wine draws the same frames as the Linux renderer: one time in every
# schedule window (and the logo stretch), both at 800x600 through the machine's Mesa. Each pair
# may differ by at most a mean of 0.05 levels, and 99.9 % of the pixels by at most 4 levels in
# every channel (what Wine's GL and the MinGW build's floating point leave; measured: see below).
source "$(dirname "$0")/../e2e/common.bash"
source "$(dirname "$0")/wine.bash"
max_mean=0.05
min_within=99.9
times=(10 72 95 115 130 140 150 163 175 190)
args=()
for t in "${times[@]}"; do args+=(--time "$t"); done

start_x
make_prefix
"$build/kestrane-render" "${args[@]}" --out "$work/linux" >"$work/linux.log" 2>&1 ||
  { cat "$work/linux.log" >&2; fail "the Linux renderer failed"; }
(cd "$work" && "$wine" "$package/kestrane-render.exe" "${args[@]}" --out "$work/windows") >"$work/windows.log" 2>&1 ||
  { cat "$work/windows.log" >&2; fail "kestrane-render.exe failed"; }

failed=0
for t in "${times[@]}"; do
  name=$(printf 't%d.000.png' "$t")
  [ -f "$work/windows/$name" ] || fail "kestrane-render.exe wrote no $name"
  figures=$("$build/tests/kestrane-framediff" "$work/linux/$name" "$work/windows/$name") ||
    fail "$name: the frames cannot be compared"
  echo "$name: $figures"
  read -r _ mean _ within _ <<<"$figures"
  if ! awk -v m="$mean" -v w="${within%\%}" -v mm="$max_mean" -v mw="$min_within" 'BEGIN {exit !(m <= mm && w >= mw)}'; then
    echo "FAIL: $name differs from the Linux frame beyond mean $max_mean / $min_within % within 4 levels" >&2
    failed=$((failed + 1))
  fi
done
[ "$failed" -eq 0 ] || fail "$failed of ${#times[@]} frames differ from the Linux renderer's"
echo "PASS"
