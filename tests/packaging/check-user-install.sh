#!/usr/bin/env bash
# The per-user installs a musician runs from the project folder, into a scratch home:
# scripts/install-vst3, install-lv2 and install-app put everything where hosts and desktops
# look for it, and it is found there: lilv (as LV2 hosts) finds the LV2 in ~/.lv2 without
# being told, the menu entry is valid and starts the installed app.
# Usage: check-user-install.sh SOURCE_DIR OUT_DIR
set -euo pipefail
source=$1
out=$2

rm -rf "$out"
mkdir -p "$out/home"
export HOME=$(realpath "$out/home")
unset LV2_PATH XDG_DATA_HOME

"$source/scripts/install-vst3"
"$source/scripts/install-lv2"
"$source/scripts/install-app"

for f in .vst3/Vantorel.vst3/Contents/x86_64-linux/Vantorel.so .lv2/Vantorel.lv2/manifest.ttl \
         .lv2/Vantorel.lv2/libVantorel.so .local/bin/Vantorel .local/share/applications/vantorel.desktop \
         .local/share/icons/hicolor/256x256/apps/vantorel.png; do
    [ -f "$HOME/$f" ] || { echo "not installed: ~/$f" >&2; exit 1; }
done

# lilv's default LV2 path starts with ~/.lv2, as every LV2 host's does.
lv2ls | grep -qx "https://korvane.example/plugins/vantorel" || { echo "lilv does not find ~/.lv2/Vantorel.lv2" >&2; exit 1; }

desktop-file-validate "$HOME/.local/share/applications/vantorel.desktop"
exec_line=$(grep "^Exec=" "$HOME/.local/share/applications/vantorel.desktop")
[ "$exec_line" = "Exec=$HOME/.local/bin/Vantorel" ] || { echo "menu entry starts '$exec_line'" >&2; exit 1; }
[ "$("${exec_line#Exec=}" --version)" = "Vantorel 0.0.1" ] || { echo "the menu entry's program does not start" >&2; exit 1; }

# Installing again replaces what was there.
"$source/scripts/install-lv2" > /dev/null
[ "$(find "$HOME/.lv2" -name manifest.ttl | wc -l)" -eq 1 ] || { echo "a second install left two bundles" >&2; exit 1; }
echo "VST3, LV2 and the app installed for the user and found where hosts and desktops look"
