#!/usr/bin/env bash
# Checks one program's manual page against its --help: every option the
# help lists must be in the page, and the page must render without a
# warning from man.
#   check_man_page.sh PROGRAM PAGE.gz [slash]
# "slash": the program's options also start with "/" (orvane-reg).
# DROP_OPTION=X removes X from the rendered page first, to show that the
# check notices a missing option.
set -euo pipefail
program="$1"
page="$2"
slash="${3:-}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The programs print folders in their help; keep them in the test's own.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
export ORVANE_CONFIG_DIR="$work/home/config/orvane" QT_QPA_PLATFORM=offscreen
export LC_ALL=C.UTF-8
mkdir -p "$HOME"

if ! help="$("$program" --help)"; then
  echo "FAIL: $program --help ended with an error" >&2
  exit 1
fi

# Options are the words of the help that start with "-" (or "/"), once
# brackets, bars and commas around them are taken away: "[-st | -uia]",
# "-h, --help", "[--rate N]", "[/v NAME | /ve]".
words="$(printf '%s\n' "$help" | tr '][|(),' '      ' | tr -s ' \t' '\n\n' | sed -E 's/[.:;]$//; s/=.*$//')"
options="$(printf '%s\n' "$words" | grep -E '^--?[A-Za-z][A-Za-z0-9-]*$' || true)"
if [ "$slash" = slash ]; then
  options="$options"$'\n'"$(printf '%s\n' "$words" | grep -E '^/[a-z?]+$' || true)"
fi
options="$(printf '%s\n' "$options" | sed '/^$/d' | sort -u)"
if [ -z "$options" ]; then
  echo "FAIL: found no option in the help of $program" >&2
  exit 1
fi

if ! command -v man >/dev/null; then
  echo "FAIL: man is not installed (scripts/install-deps.sh installs man-db)" >&2
  exit 1
fi
# What lintian runs; any output on stderr is a warning of groff or man.
warnings="$(MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)"
if [ -n "$warnings" ]; then
  echo "FAIL: $page renders with warnings:" >&2
  printf '%s\n' "$warnings" >&2
  exit 1
fi

# The page as text, on long lines without hyphenation, with groff's
# hyphen and minus signs back to "-".
text="$(gzip -dc "$page" | groff -man -Tutf8 -P-cbou -rLL=1000n -rHY=0 2>/dev/null |
        sed -e 's/\xe2\x80\x90/-/g; s/\xe2\x88\x92/-/g; s/\xe2\x80\x91/-/g')"
if [ -n "${DROP_OPTION:-}" ]; then
  text="${text//"$DROP_OPTION"/}"
fi

missing=()
while IFS= read -r option; do
  pattern="$(printf '%s' "$option" | sed 's/[?]/\\?/g')"
  # A here-string, not a pipe: grep -q stops at the first match, and a
  # writer into its pipe would then die of SIGPIPE, which pipefail counts.
  if ! grep -qE "(^|[^A-Za-z0-9/-])${pattern}([^A-Za-z0-9-]|\$)" <<<"$text"; then
    missing+=("$option")
  fi
done <<<"$options"
if [ ${#missing[@]} -gt 0 ]; then
  echo "FAIL: $page lacks options that $(basename "$program") --help lists: ${missing[*]}" >&2
  exit 1
fi
echo "$(basename "$program"): $(printf '%s\n' "$options" | wc -l) options, all in $(basename "$page")"
