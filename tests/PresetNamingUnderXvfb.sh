#!/usr/bin/env bash
# Names new presets the way a user does, in the built module's editor in a real window
# under Xvfb, with presets already in the folder. The renderer shows the window; xdotool,
# another program, is the user's mouse and keyboard: double-click the preset name, type,
# press Return, then the same again while the menu the first name opened is still up.
# Then: both files exist, the presets that were there are byte for byte as they were, the
# label shows the last name, and a single click on it opens the preset menu.
# Exits 77 (skipped) where xvfb-run or xdotool is not installed.
# Usage: PresetNamingUnderXvfb.sh RENDER CHECK WORK_DIR
set -euo pipefail
render=$1 check=$2 work=$3

for tool in xvfb-run xdotool; do
    if ! command -v $tool > /dev/null; then
        echo "$tool is not installed (scripts/setup installs it): skipped"
        exit 77
    fi
done

rm -rf "$work"
presets=$work/home/Documents/Vantorel_Presets
mkdir -p "$presets" "$work/before"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share

for name in Lead Pad; do
    printf '<?xml version="1.0" encoding="UTF-8"?>\r\n\r\n<pluginParameter><PARAM id="feedback" value="0.%s"/></pluginParameter>\r\n' \
        "${#name}" > "$presets/$name.vtrpreset"
    cp "$presets/$name.vtrpreset" "$work/before/"
done

# Runs inside the virtual display: the window, and a hand on it.
cat > "$work/session.sh" << 'SESSION'
#!/usr/bin/env bash
set -euo pipefail
render=$1 work=$2
"$render" --quiet --screenshot "$work/named.png" --with-popups --ready-file "$work/ready" \
    --done-file "$work/done" --wait 60 &
for i in $(seq 100); do [ -s "$work/ready" ] && break; sleep 0.1; done
[ -s "$work/ready" ] || { echo "the editor never came up" >&2; exit 1; }
read -r x y w h < "$work/ready"

# The preset name's centre: 253, 352 on the 1060 x 364 window.
nameX=$((x + 253 * w / 1060)) nameY=$((y + 352 * h / 364))
name_preset() {
    xdotool mousemove "$nameX" "$nameY" click --repeat 2 --delay 120 1
    # A user types once the editor shows; a Debug build with sanitizers can take most of a
    # second to close the menu and open it.
    sleep 2
    xdotool type --delay 40 "$1"
    xdotool key Return
    # A slow build (sanitizers) may take a while to write it; the next gesture waits for it.
    for i in $(seq 100); do [ -f "$work/home/Documents/Vantorel_Presets/$1.vtrpreset" ] && break; sleep 0.1; done
    sleep 0.5
}
sleep 0.5
name_preset "Warm Echo"
name_preset "Dark Echo"
touch "$work/done"
wait
SESSION
chmod +x "$work/session.sh"
xvfb-run -a -s "-screen 0 1920x1200x24" "$work/session.sh" "$render" "$work"

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
xvfb-run -a -s "-screen 0 1920x1200x24" "$render" --quiet --screenshot "$work/menu.png" --wait 1 --menu
echo "named two presets by double-click and typing; the label shows the last; a click opens the menu"
