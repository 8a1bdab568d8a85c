#!/usr/bin/env bash
# The symbols libsonvel.so exports, sorted and demangled, against the list
# kept in audio/abi/libsonvel.so.<SOVERSION>.symbols.
#
#   scripts/sonvel-abi.sh [LIBRARY]            prints the library's list
#   scripts/sonvel-abi.sh --update [LIBRARY]   rewrites the kept list
#   scripts/sonvel-abi.sh --check [LIBRARY]    fails with a diff when they differ
#
# LIBRARY defaults to build/Orvane/libsonvel.so. Hosts linked against one
# SOVERSION must keep working with every later build of it, so a change of
# this list is either a mistake or needs a new SOVERSION.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

mode=print
case "${1:-}" in
  --update) mode=update; shift ;;
  --check) mode=check; shift ;;
  -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
esac
library="${1:-$root/build/Orvane/libsonvel.so}"
if [ ! -f "$library" ]; then
  echo "sonvel-abi: no library at $library" >&2
  exit 2
fi

soname="$(objdump -p "$library" | awk '$1 == "SONAME" { print $2 }')"
soversion="${soname##*.so.}"
if [ -z "$soname" ] || [ "$soversion" = "$soname" ]; then
  echo "sonvel-abi: $library has no versioned SONAME" >&2
  exit 2
fi
kept="$root/audio/abi/libsonvel.so.$soversion.symbols"

# Names only (addresses and symbol kinds move with every build). The
# sanitizers' instrumentation symbols are no part of the interface.
current_list() {
  nm -D --defined-only --demangle "$library" | cut -d' ' -f3- |
    grep -v -E '^(__odr_asan|__asan|__ubsan|__sanitizer|___asan)' | LC_ALL=C sort -u
}

case "$mode" in
  print)
    current_list
    ;;
  update)
    current_list >"$kept"
    echo "sonvel-abi: wrote $(wc -l <"$kept") symbols to ${kept#"$root"/}"
    ;;
  check)
    if [ ! -f "$kept" ]; then
      echo "sonvel-abi: no kept list ${kept#"$root"/} for SOVERSION $soversion." >&2
      echo "Run scripts/sonvel-abi.sh --update $library and commit it." >&2
      exit 1
    fi
    if ! diff -u --label "kept ${kept#"$root"/}" --label "built $soname" "$kept" \
         <(current_list); then
      cat >&2 <<MSG

sonvel-abi: the symbols libsonvel.so exports differ from the list kept for
SOVERSION $soversion (- kept, + built). Hosts compiled against $soname
would break. Either undo the change to the exported interface, or raise the
library's SOVERSION and record the new list with
  scripts/sonvel-abi.sh --update $library
(a change that only adds symbols may keep the version: update the list).
MSG
      exit 1
    fi
    echo "sonvel-abi: $soname exports the $(wc -l <"$kept") kept symbols"
    ;;
esac
