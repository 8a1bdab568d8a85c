#!/usr/bin/env bash
# scripts/build.sh configures a Release build (what scripts/run.sh installs),
# also over a folder configured otherwise, unless told another build type.
# CMake configures for real, but only Sonvel (quick); nothing is built, and
# no folder but this test's own is configured.
#
#   build_type.sh SOURCE_DIR CMAKE
set -euo pipefail
source_dir="$1"
real_cmake="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/cmake" <<EOF
#!/usr/bin/env bash
[ "\$1" = --build ] && exit 0
previous=""
for arg in "\$@"; do
  if [ "\$previous" = -B ]; then
    case "\$arg" in
      "$work"/*) ;;
      *) echo "not configuring \$arg: not this test's folder" >&2; exit 1 ;;
    esac
  fi
  previous="\$arg"
done
exec "$real_cmake" "\$@" -DORVANE_ENGINE_ONLY=ON -DORVANE_BUILD_TESTS=OFF >/dev/null
EOF
chmod +x "$work/bin/cmake"

configured_type() {
  sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$1/CMakeCache.txt" 2>/dev/null || true
}

# name | configured before (empty: a fresh folder) | arguments | expected type
cases=(
  "fresh folder|||Release"
  "folder configured RelWithDebInfo|RelWithDebInfo||Release"
  "the caller's own type||-DCMAKE_BUILD_TYPE=Debug|Debug"
)
failed=0
number=0
for entry in "${cases[@]}"; do
  IFS='|' read -r name before args expected <<<"$entry"
  number=$((number + 1))
  folder="$work/build-$number"
  if [ -n "$before" ]; then
    "$real_cmake" -S "$source_dir" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE="$before" \
      -DORVANE_ENGINE_ONLY=ON -DORVANE_BUILD_TESTS=OFF >/dev/null
  fi
  # shellcheck disable=SC2086
  if ! PATH="$work/bin:$PATH" ORVANE_BUILD_DIR="$folder" bash "$source_dir/scripts/build.sh" $args; then
    echo "FAIL $name: scripts/build.sh failed" >&2
    failed=1
    continue
  fi
  got="$(configured_type "$folder")"
  if [ "$got" != "$expected" ]; then
    echo "FAIL $name: configured '$got', expected '$expected'" >&2
    failed=1
  else
    echo "ok   $name: $got"
  fi
done
exit "$failed"
