#!/usr/bin/env bash
# Fails when an #include crosses a layer that docs/architecture.md forbids:
# a folder may include only the folders listed for it below, Sonvel and the
# modem protocol include no Qt, and the layers under the windows include no
# widgets. Usage: scripts/check-layers.sh [SOURCE_DIR]
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"

# folder → the project folders its files may include (besides itself).
# The longest matching folder decides, so telephony/modem is not telephony.
declare -A allowed=(
  [audio]=""
  [telephony/modem]="audio"
  [core]="audio"
  [settings/names]=""
  [settings/store]="core"
  [settings]="core audio"
  [translation]="core settings"
  [journal]="core settings translation"
  [telephony]="core settings journal translation audio"
  [calls]="core settings journal translation telephony audio"
  [ui]="core settings journal translation telephony calls audio"
  [windows]="core settings journal translation telephony calls ui audio"
  [app]="core settings journal translation telephony calls ui windows audio"
  [tools/modemsim]="telephony/modem audio"
  [tools/sonvel]="audio"
  [tools/reg]="core settings"
  [tools/setup]="settings"
  [tools/sounds]=""
)
# Folders whose code runs without Qt at all.
no_qt=(audio telephony/modem tools/modemsim tools/sonvel tools/sounds)
# Folders of Orvane itself: of Sonvel they see only its public headers.
sonvel_public_only=(core settings translation journal telephony calls ui windows app tools/reg tools/setup)
sonvel_public='^audio/(sonvel|sonvel_api|sonvel_host|sonvel_export|telephone_sound|wave)\.h$'
# Folders below the windows: Qt Core is fine, widgets are not.
no_widgets=(core settings/names settings/store translation/language_file translation/translation_files
            journal/journal_writer journal/journal_file_reader
            telephony calls tools/reg)

# The QtWidgets class headers, from the installed Qt where there is one.
widgets_dir=""
for dir in /usr/include/x86_64-linux-gnu/qt6/QtWidgets /usr/include/qt6/QtWidgets; do
  [[ -d "$dir" ]] && widgets_dir="$dir" && break
done
if [[ -n "$widgets_dir" ]]; then
  widget_pattern="^#include <($(find "$widgets_dir" -maxdepth 1 -name 'Q*' ! -name '*.h' -printf '%f|')QtWidgets)[>/]"
else
  widget_pattern='^#include <(Q(Widget|MainWindow|Label|Application|Menu|MenuBar|ToolBar|ToolButton|StatusBar|MessageBox|Dialog|PushButton|LineEdit|ComboBox|ListWidget|Frame|Layout|BoxLayout|HBoxLayout|VBoxLayout|SystemTrayIcon|FileDialog|Style)|QtWidgets)[>/]'
fi

project_include='^#include "([a-z_]+(/[a-z_]+)*)/[A-Za-z0-9_.]+"'
qt_include='^#include <Q'

folder_of() {  # the longest configured folder that holds file $1
  local path="$1" best="" folder
  for folder in "${!allowed[@]}"; do
    if [[ "$path" == "$folder/"* && ${#folder} -gt ${#best} ]]; then
      best="$folder"
    fi
  done
  printf '%s' "$best"
}

in_list() {  # is $1 under one of the folders in the rest of the arguments
  local path="$1" folder; shift
  for folder in "$@"; do
    [[ "$path" == "$folder" || "$path" == "$folder/"* ]] && return 0
  done
  return 1
}

failures=0
report() { echo "$1: $2" >&2; failures=$((failures + 1)); }

while IFS= read -r file; do
  folder="$(folder_of "$file")"
  [[ -z "$folder" ]] && continue
  read -r -a may <<< "${allowed[$folder]}"
  while IFS= read -r line; do
    if [[ "$line" =~ $project_include ]]; then
      target="${BASH_REMATCH[1]}"
      header="${line#*\"}"
      header="${header%%\"*}"
      # Its own folder (and what lies below it), or one the map allows.
      if ! in_list "$target" "$folder" ${may[@]+"${may[@]}"}; then
        report "$file" "includes $target (layer $folder may include: ${allowed[$folder]:-nothing of the project})"
      elif [[ "$folder" == windows && "$target" == windows/* &&
              "${target#windows/}" != "$(cut -d/ -f2 <<< "$file")"* ]]; then
        # Windows are views over the domain, not over each other; the
        # program wires one to another.
        report "$file" "includes $target, another window's folder"
      elif [[ "$target" == audio* && ! "$header" =~ $sonvel_public ]] &&
           in_list "$folder" "${sonvel_public_only[@]}" && [[ "$folder" != telephony/modem ]]; then
        report "$file" "includes $header, inside Sonvel; use its public headers"
      fi
    elif [[ "$line" =~ $qt_include ]] && in_list "$file" "${no_qt[@]}"; then
      report "$file" "includes Qt ($line); this layer has no Qt"
    elif [[ "$line" =~ $widget_pattern ]] && in_list "${file%.*}" "${no_widgets[@]}"; then
      report "$file" "includes a widget header ($line); this layer has no widgets"
    fi
  done < <(grep -E '^#include ' "$file" || true)
done < <(git ls-files -- '*.h' '*.cpp' 2>/dev/null || find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||')

if (( failures > 0 )); then
  echo "$failures include(s) cross a layer; the map is in docs/architecture.md" >&2
  exit 1
fi
echo "layers: every include stays within its layer"
