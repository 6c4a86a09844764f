#!/usr/bin/env bash
# House rules over the source tree, as tests:
#   tests/house.sh boundary SOURCE   only platform/ and tools/ include SDL, libmpg123, kissfft,
#                                    libpng or libpulse headers or name SDL_ (tests may, to drive them)
#   tests/house.sh format SOURCE     every C and C++ file is as .clang-format lays it out
#                                    (exit 77, skipped, without clang-format)
#   tests/house.sh layout SOURCE     the README's layout table names every folder the tree keeps
#                                    (top level as `dir/`, one level down as `dir/sub/` or `sub`)
#   tests/house.sh layers SOURCE     each folder of the program includes only its own headers and
#                                    those of the folders below it, in the order of its libraries
set -u
mode=$1
cd "$2" || exit 1
# The tree's files, committed or not (git's ignore rules keep build folders out), less those
# deleted since the last commit.
tracked() {
  local listed f
  listed=$(git ls-files --cached --others --exclude-standard -- "$@" 2>/dev/null) ||
    { echo "FAIL: $PWD is not a git checkout" >&2; exit 1; }
  for f in $listed; do [ -e "$f" ] && echo "$f"; done
}
# The tree's C and C++ files.
sources() { tracked '*.cpp' '*.h' '*.c' "$@"; }
case "$mode" in
  boundary)
    found=$(sources ':!platform/' ':!tools/' ':!tests/' |
      xargs grep -nE '#include *[<"](SDL2?/|SDL[_.]|mpg123|kiss_?fft|png\.h|pulse/)|\bSDL_' /dev/null)
    if [ -n "$found" ]; then
      echo "FAIL: system libraries named outside platform/ and tools/:"
      echo "$found"
      exit 1
    fi
    echo "PASS: no system library named outside platform/ and tools/"
    ;;
  format)
    command -v clang-format >/dev/null || { echo "SKIPPED: no clang-format"; exit 77; }
    bad=$(sources | while read -r f; do
      clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || echo "$f"
    done)
    if [ -n "$bad" ]; then
      echo "FAIL: not laid out as .clang-format says (clang-format -i FILE):"
      echo "$bad"
      exit 1
    fi
    echo "PASS: every C and C++ file is formatted"
    ;;
  layout)
    table=$(sed -n '/^## Layout$/,/^## /p' README.md | grep '^| `')
    [ -n "$table" ] || { echo "FAIL: README.md has no layout table"; exit 1; }
    folders=$(git ls-files | awk -F/ '$1 !~ /^\./ && NF >= 2 {print $1} $1 !~ /^\./ && NF >= 3 {print $1 "/" $2}' |
      sort -u)
    missing=$(for d in $folders; do
      case "$d" in
        */*) grep -qF -e "\`$d/\`" -e "\`${d##*/}\`" <<<"$table" || echo "$d" ;;
        *) grep -qF "\`$d/" <<<"$table" || echo "$d" ;;
      esac
    done)
    if [ -n "$missing" ]; then
      echo "FAIL: folders the README's layout table does not name:"
      echo "$missing"
      exit 1
    fi
    echo "PASS: the layout table names all $(wc -w <<<"$folders") folders"
    ;;
  layers)
    # The program's folders from the lowest up, as CMakeLists.txt links their libraries. Anything
    # else of the tree (tools/, tests/) stands on top of them all.
    order="platform glLayer external/qrx geometry assets scenes director app"
    rank() {  # the folder's place in the order (1 the lowest), 0 outside it
      local i=1 folder
      for folder in $order; do
        case "$1" in "$folder"/*) echo "$i"; return ;; esac
        i=$((i + 1))
      done
      echo 0
    }
    # The folders' C and C++ files, headers without an extension (external/qrx/shaderLibrary) too.
    # shellcheck disable=SC2086
    files=$(tracked $order | grep -E '(\.(cpp|h|c)|/[^./]+)$')
    bad=$(for f in $files; do
      own=$(rank "$f")
      sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p; T; =' "$f" |
        paste - - | while read -r included line; do
        [ -d "${included%%/*}" ] || continue  # not a path into the tree
        place=$(rank "$included")
        if [ "$place" = 0 ]; then
          echo "$f:$line: #include \"$included\" (${included%%/*}/ is above every folder of the program)"
        elif [ "$place" -gt "$own" ]; then
          echo "$f:$line: #include \"$included\" (a folder above this one)"
        fi
      done
    done)
    checked=$(wc -w <<<"$files")
    if [ -n "$bad" ]; then
      echo "FAIL: includes of a folder above the including one (order, lowest first: $order):"
      echo "$bad"
      exit 1
    fi
    echo "PASS: the $checked files of $order include only their own folder and those below it"
    ;;
  *) echo "usage: tests/house.sh boundary|format|layout|layers SOURCE" >&2; exit 2 ;;
esac
