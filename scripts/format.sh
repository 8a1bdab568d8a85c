#!/usr/bin/env bash
# Formats every C++ file the repository tracks with the tree's .clang-format
# (Debian's clang-format). With --check it changes nothing and fails, naming
# the files, when one is not formatted.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
  echo "format.sh: clang-format is missing (scripts/install-deps.sh installs it)" >&2
  exit 2
fi
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' ':!:fuzz/corpus/*')
if [[ "${1:-}" == "--check" ]]; then
  report="$(mktemp)"
  trap 'rm -f "$report"' EXIT
  if ! clang-format --dry-run --Werror "${files[@]}" 2>"$report"; then
    grep -o '^[^:]*:[0-9]*:[0-9]*: error' "$report" | cut -d: -f1 | sort -u |
      sed 's/^/not formatted: /' >&2
    echo "format.sh: run scripts/format.sh to format them" >&2
    exit 1
  fi
  echo "format: ${#files[@]} files formatted as .clang-format says"
else
  clang-format -i "${files[@]}"
fi
