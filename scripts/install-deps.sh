#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Orvane
# needs. Safe to run again: apt-get skips what is already there.
#
# --package adds the tools that build and check the Debian package
# (scripts/package.sh, scripts/package-check.sh); without it they are left
# out, so a build from source installs no more than it needs.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-serialport-dev libgl-dev
  libasound2-dev libgsm1-dev
  # export of recordings for mail: Ogg Opus and FLAC
  libopusenc-dev libopus-dev libogg-dev libflac-dev
  # the manual pages (man/*.scd into roff)
  scdoc
  # tests
  googletest libgtest-dev libgmock-dev sox
  # independent decoders of the exported files
  opus-tools flac
  # the manual pages' check: man and groff render them
  man-db groff-base
  # the format check
  clang-format git
  # tests of the ALSA backend: a private sound server with a null sink
  pulseaudio libasound2-plugins
  # running: Qt's platform plugins (xcb, offscreen), SVG icons, a font
  qt6-qpa-plugins libqt6svg6 fonts-dejavu-core
  # Qt's own texts (Yes, No, the file dialogs, key names) in the user's language
  qt6-translations-l10n
  # checks by eye and window tests: a virtual X server
  xvfb xauth x11-utils trayer
  # the menu entry and AppStream checks; a private session bus for notices
  desktop-file-utils appstream dbus
)
for argument in "$@"; do
  case "$argument" in
    --package)
      # dpkg-buildpackage, dh with its cmake build system, the package
      # check's lintian; ccache keeps a rebuild of the package short.
      packages+=(dpkg-dev debhelper fakeroot lintian ccache)
      ;;
    *)
      echo "install-deps.sh: unknown argument $argument (only --package)" >&2
      exit 2
      ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
