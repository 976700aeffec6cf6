#!/usr/bin/env bash
# Names new presets the way a user does, in the built module's editor in a real window
# under Xvfb, with presets already in the folder: double-click the preset name, type,
# press Return (the second name is typed while the menu the first one opened is still up).
# Then: both files exist, the presets that were there are byte for byte as they were, the
# label shows the last name, and a single click on it opens the preset menu.
# Exits 77 (skipped) where xvfb-run is not installed.
# Usage: PresetNamingUnderXvfb.sh RENDER CHECK WORK_DIR
set -euo pipefail
render=$1 check=$2 work=$3

if ! command -v xvfb-run > /dev/null; then
    echo "xvfb-run is not installed (scripts/setup installs it): skipped"
    exit 77
fi

rm -rf "$work"
presets=$work/home/Documents/Vantorel_Presets
mkdir -p "$presets" "$work/before"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share

for name in Lead Pad; do
    printf '<?xml version="1.0" encoding="UTF-8"?>\r\n\r\n<pluginParameter><PARAM id="feedback" value="0.%s"/></pluginParameter>\r\n' \
        "${#name}" > "$presets/$name.vtrpreset"
    cp "$presets/$name.vtrpreset" "$work/before/"
done

run() { xvfb-run -a -s "-screen 0 1920x1200x24" "$render" --quiet "$@"; }

run --screenshot "$work/named.png" --wait 1 --name-preset "Warm Echo" --name-preset "Dark Echo"

fail() { echo "FAILED: $*" >&2; ls -la "$presets" >&2; exit 1; }
for name in "Warm Echo" "Dark Echo"; do
    [ -f "$presets/$name.vtrpreset" ] || fail "no preset file for '$name'"
    grep -q '<pluginParameter>' "$presets/$name.vtrpreset" || fail "'$name' holds no parameter tree"
done
for name in Lead Pad; do
    cmp "$work/before/$name.vtrpreset" "$presets/$name.vtrpreset" || fail "$name.vtrpreset changed"
done
[ "$(ls "$presets" | wc -l)" -eq 4 ] || fail "expected exactly four presets"

"$check" "$work/named.png" "Dark Echo"

# A single click still opens the menu (the renderer fails when no menu window appears).
run --screenshot "$work/menu.png" --wait 1 --menu
echo "named two presets by double-click and typing; the label shows the last; a click opens the menu"
