#!/usr/bin/env bash
# The module's editor in Steinberg's reference editor host (editorhost: on Linux a plain Xlib
# program whose own event loop drives the plug-in through IRunLoop; its Windows build under
# Wine), on a display with no window manager and nothing prepared, driven by xdotool as a
# user's hand:
#
#   resize  drags the editor's corner 300 px to the right: the host's window grows with the
#           panel (1360 x 467, its proportion kept) and shows the whole panel as the editor
#           draws it in-process at that size; then drags the corner far up and left: the
#           window shrinks with it to the smallest size, 706 x 242, likewise.
#   naming  with two presets in the folder, double-clicks the preset name, types a name and
#           presses Return; then again while the menu the first name opened is still up: both
#           files exist, the two presets that were there are byte for byte as they were, there
#           is nothing else, and the label shows the last name.
#
# Both end by closing the host's window; the host must quit by itself, without a crash or a
# leak report. Exits 77 (skipped) where editorhost, xvfb-run or xdotool is missing.
#
# Usage: run-editorhost-test.sh MODE OUT_DIR CHECK SNAPSHOT LABEL_CHECK EDITORHOST BUNDLE [-- RUNNER...]
#   CHECK, SNAPSHOT, LABEL_CHECK: vantorel_app_check, vantorel_editor_snapshot and
#   vantorel_preset_label_check of the Linux build. RUNNER: what runs EDITORHOST (Wine and its
#   environment, for editorhost.exe; BUNDLE is then the Windows module's path as Wine sees it).
#   Linux runs make a display of their own; Wine runs use the one they are given (DISPLAY).
set -euo pipefail

mode=$1 out=$2 check=$3 snapshot=$4 label_check=$5 editorhost=$6 bundle=$7
shift 7
runner=()
if [ $# -gt 0 ] && [ "$1" = "--" ]; then
    shift
    runner=("$@")
fi

if [ ! -f "$editorhost" ]; then
    echo "$(basename "$editorhost") is not in $(dirname "$editorhost"): skipped"
    exit 77
fi
for tool in xvfb-run xdotool; do
    if ! command -v $tool > /dev/null; then
        echo "$tool is not installed (scripts/setup installs it): skipped"
        exit 77
    fi
done

if [ ${#runner[@]} -eq 0 ] && [ -z "${VANTOREL_EDITORHOST_INNER:-}" ]; then
    export VANTOREL_EDITORHOST_INNER=1
    exec xvfb-run -a -s "-screen 0 1920x1200x24" "$0" "$mode" "$out" "$check" "$snapshot" "$label_check" "$editorhost" "$bundle"
fi

rm -rf "$out"
mkdir -p "$out/home"
out=$(realpath "$out")
# The Linux host's presets and settings go to a scratch home (Wine keeps its own user folders).
[ ${#runner[@]} -gt 0 ] || export HOME="$out/home" XDG_CONFIG_HOME="$out/home/.config" XDG_DATA_HOME="$out/home/.local/share"

fail() {
    echo "editorhost $mode: $*" >&2
    [ -f "$out/host.log" ] && cat "$out/host.log" >&2
    exit 1
}

# A module built with AddressSanitizer needs its runtime first in the process: the host is not
# built with it. Leaks are left to the tests that own the whole process; the host's are not ours.
host_env=()
if [ ${#runner[@]} -eq 0 ]; then
    module=$(find "$bundle/Contents" -name '*.so' | head -1)
    asan=$(ldd "$module" | awk '/libasan/ { print $3 }')
    [ -z "$asan" ] || host_env=(env "LD_PRELOAD=$asan" "ASAN_OPTIONS=detect_leaks=0")
fi

# The panel as the editor draws it in-process, at the sizes the gestures give it.
for size in 1060x364 1360x467 706x242; do
    "$snapshot" "$out/editor-$size.png" "$size" || fail "cannot draw the editor at $size"
done

if [ "$mode" = naming ]; then
    presets=$out/home/Documents/Vantorel_Presets
    mkdir -p "$presets" "$out/before"
    for name in Lead Pad; do
        printf '<?xml version="1.0" encoding="UTF-8"?>\r\n\r\n<pluginParameter><PARAM id="feedback" value="0.%s"/></pluginParameter>\r\n' \
            "${#name}" > "$presets/$name.vtrpreset"
        cp "$presets/$name.vtrpreset" "$out/before/"
    done
fi

"${host_env[@]}" "${runner[@]}" "$editorhost" "$bundle" > "$out/host.log" 2>&1 &
host=$!
trap 'kill -KILL $host 2> /dev/null || true' EXIT

# grab NAME SIZE [options]: waits until the host's window holds the panel at that size as the
# editor draws it, and keeps the grab (NAME.png) and the panel in it (NAME-panel.png); prints
# where on the screen the panel is. (editorhost's own window and the box it puts the editor in
# have a border of a pixel each, which the window's size does not allow for: the panel's last
# column and row are hidden under it, whatever the plug-in.)
grab() {
    local name=$1 size=$2
    shift 2
    "$check" window --title Editor --reference "$out/editor-$size.png" --out "$out/$name.png" --panel-out "$out/$name-panel.png" \
        --timeout 30 --margin 2 --hidden-edge 1 "$@" > "$out/$name.txt" 2>&1 \
        || { cat "$out/$name.txt" >&2; fail "the host's window does not show the panel at $size"; }
    cat "$out/$name.txt"
    sed -n 's/^editor panel on screen at (\([0-9]*\), \([0-9]*\)).*/\1 \2/p' "$out/$name.txt"
}

# geometry: the host window's place and size, "X Y W H".
geometry() {
    local id
    id=$(xdotool search --onlyvisible --name '^Editor$' 2> /dev/null | head -1)
    [ -n "$id" ] || { echo "none"; return; }
    xdotool getwindowgeometry --shell "$id" | awk -F= '{ v[$1] = $2 } END { print v["X"], v["Y"], v["WIDTH"], v["HEIGHT"] }'
}

# settle: waits until the window's size holds still for half a second; prints the geometry.
settle() {
    local last now same=0
    last=$(geometry)
    for _ in $(seq 100); do
        sleep 0.1
        now=$(geometry)
        if [ "$now" = "$last" ]; then
            same=$((same + 1))
            [ $same -ge 5 ] && break
        else
            same=0
        fi
        last=$now
    done
    echo "$last"
}

read -r panelX panelY < <(grab opened 1060x364 | tail -1)
read -r x y w h < <(settle)
# What the host's window adds around the panel (nothing on Linux; Wine may add a frame).
frameW=$((w - 1060)) frameH=$((h - 364))
echo "editorhost's window: $w x $h at ($x, $y); the panel on screen at ($panelX, $panelY)"

# expect_size W H: the window holds a W x H panel, within a pixel or two.
expect_size() {
    local gx gy gw gh
    read -r gx gy gw gh < <(settle)
    echo "after the drag: the window is $gw x $gh"
    if [ $((gw - frameW - $1)) -gt 2 ] || [ $((frameW + $1 - gw)) -gt 2 ] \
       || [ $((gh - frameH - $2)) -gt 2 ] || [ $((frameH + $2 - gh)) -gt 2 ]; then
        fail "the host's window is $gw x $gh, not $(($1 + frameW)) x $(($2 + frameH)) around a $1 x $2 panel"
    fi
}

# drag FROM_X FROM_Y TO_X TO_Y: the left button down, moved in small steps, released.
drag() {
    xdotool mousemove "$1" "$2" mousedown 1
    for i in $(seq 1 20); do
        xdotool mousemove $(($1 + ($3 - $1) * i / 20)) $(($2 + ($4 - $2) * i / 20))
        sleep 0.03
    done
    sleep 0.2
    xdotool mouseup 1
}

case $mode in
resize)
    # The resizing corner is the editor's bottom-right 10 pixels or so.
    cornerX=$((panelX + 1060 - 4)) cornerY=$((panelY + 364 - 4))
    drag "$cornerX" "$cornerY" $((cornerX + 300)) "$cornerY"
    expect_size 1360 467
    grab grown 1360x467 --splash-gone > /dev/null

    cornerX=$((panelX + 1360 - 4)) cornerY=$((panelY + 467 - 4))
    drag "$cornerX" "$cornerY" $((panelX + 100)) $((panelY + 30))
    expect_size 706 242
    grab smallest 706x242 --splash-gone > /dev/null
    last_size=706x242
    echo "the window grew to 1360 x 467 with the panel and shrank to 706 x 242 with it, showing the whole panel both times"
    ;;
naming)
    # The preset name's centre: 253, 352 on the 1060 x 364 panel.
    nameX=$((panelX + 253)) nameY=$((panelY + 352))
    name_preset() {
        xdotool mousemove "$nameX" "$nameY" click --repeat 2 --delay 120 1
        # A user types once the name editor shows; a Debug build with sanitizers takes a while.
        sleep 2
        xdotool type --delay 40 "$1"
        xdotool key Return
        for _ in $(seq 100); do [ -f "$presets/$1.vtrpreset" ] && break; sleep 0.1; done
        sleep 0.5
    }
    name_preset "Warm Echo"
    name_preset "Dark Echo"

    for name in "Warm Echo" "Dark Echo"; do
        [ -f "$presets/$name.vtrpreset" ] || { ls -la "$presets" >&2; fail "no preset file for '$name'"; }
        grep -q '<pluginParameter>' "$presets/$name.vtrpreset" || fail "'$name' holds no parameter tree"
    done
    for name in Lead Pad; do
        cmp "$out/before/$name.vtrpreset" "$presets/$name.vtrpreset" || fail "$name.vtrpreset changed"
    done
    [ "$(ls "$presets" | wc -l)" -eq 4 ] || { ls -la "$presets" >&2; fail "expected exactly four presets"; }

    # The label shows the last name once any menu is closed (Escape, as a user closes one).
    xdotool key Escape
    sleep 0.5
    grab named 1060x364 --splash-gone --exact-size > /dev/null
    "$label_check" "$out/named-panel.png" "Dark Echo" || fail "the label does not show the last name"
    last_size=1060x364
    echo "named two presets by double-click and typing in editorhost; the others are as they were"
    ;;
*)
    fail "unknown mode (resize, naming)"
    ;;
esac

# Closed as a window manager's close button closes it: the host quits by itself.
"$check" window --title Editor --reference "$out/editor-$last_size.png" --out "$out/closing.png" --timeout 10 \
    --margin 2 --hidden-edge 1 --splash-gone --close > /dev/null || fail "cannot ask the host's window to close"
status=0
for _ in $(seq 200); do
    kill -0 $host 2> /dev/null || break
    sleep 0.1
done
kill -0 $host 2> /dev/null && fail "the host did not quit when its window was closed"
wait $host || status=$?
trap - EXIT
[ $status -eq 0 ] || fail "the host exited with $status"
if grep -E "Leaked objects detected|ERROR: AddressSanitizer|runtime error:|X Error" "$out/host.log" > /dev/null; then
    fail "the host's output reports a fault"
fi
echo "the host quit cleanly when its window was closed"
