#!/usr/bin/env bash
# damagedDataTable.bash RESULTS DOC [BUILD]: turns the result lines of a full damaged-data run (status,
# damage, file, note, seconds; tab-separated) into a Markdown table, one row per file and one
# column per damage, and puts it into DOC between the matrix markers (appended when missing).
set -euo pipefail
results=$1
doc=$2
build=${3:-}
begin='<!-- damaged-data matrix: begin (written by FULL=1 tests/e2e/damagedData.sh) -->'
end='<!-- damaged-data matrix: end -->'
table=$(mktemp)
trap 'rm -f "$table"' EXIT

{
  echo "$begin"
  echo
  echo "Run $(date -u '+%Y-%m-%d %H:%M UTC') at commit $(git -C "$(dirname "$doc")" rev-parse --short HEAD 2>/dev/null || echo unknown)${build:+, build $(basename "$build")}:" \
    "$(grep -c '^ok' "$results") passed, $(grep -c '^FAIL' "$results") failed," \
    "$(grep -c '^skip' "$results") skipped. Each cell: result, what the program printed" \
    "(\"silent\": nothing on standard output), seconds to the end of the presentation with M held."
  echo
  echo "| file | missing | empty | half | random bytes | a folder in its place |"
  echo "|---|---|---|---|---|---|"
  awk -F'\t' '
    function cell(s, n, t) { gsub(/\*/, "\\*", n); return (s == "ok" ? "ok" : "**" s "**") ": " n " (" t " s)" }
    $2 ~ /^(missing|empty|half|random|folder)$/ {
      if (!($3 in seen)) { seen[$3] = 1; order[++count] = $3 }
      c[$3, $2] = cell($1, $4, $5)
    }
    END {
      for (i = 1; i <= count; ++i) {
        f = order[i]
        printf "| %s | %s | %s | %s | %s | %s |\n", f, c[f, "missing"], c[f, "empty"], c[f, "half"],
               c[f, "random"], c[f, "folder"]
      }
    }' "$results"
  echo
  echo "| other damage | result |"
  echo "|---|---|"
  awk -F'\t' '
    { gsub(/\*/, "\\*", $4) }
    $2 == "compile" { printf "| fragment shader with a syntax error | %s: %s (%s s) |\n", $1, $4, $5 }
    $2 == "link" { printf "| fragment shader that compiles but does not link | %s: %s (%s s) |\n", $1, $4, $5 }
    $2 == "unreadable" && !u++ { printf "| data/ unreadable (chmod 000), to the end | %s: %s (%s s) |\n", $1, $4, $5; next }
    $2 == "unreadable" { printf "| data/ unreadable (chmod 000), Escape after 2 s | %s: %s (%s s) |\n", $1, $4, $5 }' "$results"
  echo
  echo "$end"
} >"$table"

if grep -qF "$begin" "$doc" 2>/dev/null; then
  awk -v table="$table" -v begin="$begin" -v end="$end" '
    $0 == begin { while ((getline line < table) > 0) print line; skipping = 1; next }
    $0 == end { skipping = 0; next }
    !skipping { print }' "$doc" >"$doc.new"
  mv "$doc.new" "$doc"
else
  { echo; cat "$table"; } >>"$doc"
fi
echo "matrix written to $doc"
