#!/usr/bin/env bash
# Links the manual pages of a portable program folder into
# ~/.local/share/man/man1, where man finds the pages of the programs in
# ~/.local/bin (man-db looks in ../share/man of each folder on PATH).
# A file there that is not a link is the user's own and stays.
#   link-man-pages.sh PROGRAM_FOLDER
set -euo pipefail
home="$1"
man1="$HOME/.local/share/man/man1"
shopt -s nullglob
pages=("$home"/man/man1/*.1.gz)
if [ ${#pages[@]} -eq 0 ]; then
  exit 0
fi
mkdir -p "$man1"
for page in "${pages[@]}"; do
  target="$man1/$(basename "$page")"
  if [ -e "$target" ] && [ ! -L "$target" ]; then
    echo "Not linking $target: a file of that name is already there." >&2
    continue
  fi
  ln -sfn "$page" "$target"
done
