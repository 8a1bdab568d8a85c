#!/usr/bin/env bash
# The pages of a portable install: installed into the program folder's
# man/man1, linked by scripts/link-man-pages.sh into ~/.local/share/man,
# found there by `man` for a user with ~/.local/bin on PATH, and a page
# the user put there himself stays his.
#   portable_links.sh CMAKE MAN_BUILD_DIR SOURCE_DIR
set -euo pipefail
cmake="$1"
man_build="$2"
source_dir="$3"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
program_folder="$work/opt/orvane"
export HOME="$work/home"
unset MANPATH
export PATH="$HOME/.local/bin:/usr/bin:/bin"
mkdir -p "$HOME/.local/bin" "$HOME/.local/share/man/man1"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake" --install "$man_build" --prefix "$program_folder" >/dev/null
for program in orvane orvane-reg orvane-setup sonvel modemsim; do
  gzip -t "$program_folder/man/man1/$program.1.gz" || fail "$program.1.gz is not installed gzipped"
done

own="$HOME/.local/share/man/man1/sonvel.1.gz"
echo "the user's own page" >"$own"
# Twice: a second install replaces its own links without complaint.
"$source_dir/scripts/link-man-pages.sh" "$program_folder" 2>/dev/null
"$source_dir/scripts/link-man-pages.sh" "$program_folder" 2>/dev/null

link="$HOME/.local/share/man/man1/orvane.1.gz"
[ -L "$link" ] || fail "no link $link"
[ "$(readlink "$link")" = "$program_folder/man/man1/orvane.1.gz" ] || fail "$link points elsewhere"
[ ! -L "$own" ] && [ "$(cat "$own")" = "the user's own page" ] || fail "the user's own page was replaced"

found="$(man -w orvane)" || fail "man does not find orvane"
[ "$(readlink -f "$found")" = "$(readlink -f "$program_folder/man/man1/orvane.1.gz")" ] ||
  fail "man finds $found, not the installed page"
echo "portable pages installed, linked and found by man"
