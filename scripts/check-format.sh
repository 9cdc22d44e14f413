#!/usr/bin/env bash
# Checks every C++ source of the tree against the repository's .clang-format and lists the files
# that differ (clang-format -i FILE... mends them). Exits 1 when any does.
set -euo pipefail
cd "$(dirname "$0")/.."

formatter=${CLANG_FORMAT:-clang-format}
if ! command -v "$formatter" >/dev/null; then
  echo "check-format: $formatter is missing (scripts/setup.sh --test installs it)" >&2
  exit 1
fi

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi

differ=()
for f in "${files[@]}"; do
  [[ -f "$f" ]] || continue
  if ! "$formatter" --style=file "$f" | cmp -s - "$f"; then differ+=("$f"); fi
done

if ((${#differ[@]})); then
  echo "check-format: ${#differ[@]} file(s) differ from .clang-format:"
  printf '  %s\n' "${differ[@]}"
  echo "mend with: clang-format -i ${differ[*]}"
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
