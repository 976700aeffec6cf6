#!/usr/bin/env bash
# Vantorel in Ardour 7, headless: installs the built bundle into a scratch HOME, lets
# Ardour's VST3 scanner index it, runs session.lua (create + export, then reopen in a
# second process) and checks the export and the reopened values with check_session.py.
# With an LV2 bundle and the preset tool, the same export runs through Vantorel.lv2 too:
# found by URI in LV2_PATH, loaded with a user preset, saved and reopened.
# Usage: run-ardour-test.sh BUNDLE WORK_DIR [LV2_BUNDLE LV2_PRESET_TOOL]
set -euo pipefail

bundle=$(realpath "$1")
work=$2
lv2_bundle=${3:-}
lv2_preset_tool=${4:-}
here=$(cd "$(dirname "$0")" && pwd)

for tool in ardour7-lua /usr/lib/ardour7/ardour-vst3-scanner python3; do
    command -v "$tool" > /dev/null || { echo "missing $tool: run scripts/setup" >&2; exit 1; }
done

rm -rf "$work"
mkdir -p "$work/home/.vst3" "$work/session"
work=$(realpath "$work")
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
export VANTOREL_SESSION_DIR="$work/session"

# Ardour trusts a scanner's cache file only when it is newer than the module by whole
# seconds; a bundle copied and scanned within the same second is otherwise listed as
# "new" and never loaded. Dating the copy back makes the order unambiguous.
cp -r "$bundle" "$HOME/.vst3/"
find "$HOME/.vst3/Vantorel.vst3" -exec touch -h -d '@1600000000' {} +

# A generator of a held level for the latency check (Ardour loads Lua DSP from here).
mkdir -p "$XDG_CONFIG_HOME/ardour7/scripts"
cp "$here/level.lua" "$XDG_CONFIG_HOME/ardour7/scripts/"

LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -q -f "$HOME/.vst3/Vantorel.vst3"
ls "$HOME"/.cache/ardour7/vst/*.v3i > /dev/null || { echo "the scanner wrote no cache file" >&2; exit 1; }

run_step() {
    VANTOREL_ARDOUR_STEP=$1 timeout 300 ardour7-lua "$here/session.lua" > "$work/$1.log" 2>&1
}

# Ardour 7.3 corrupts its heap now and then while tearing down an export (seen as often
# without Vantorel on the track). A step that exports counts as done once it has written its
# marker; one that crashed before is run again, up to three times. Vantorel's own teardown
# is checked by the reopen step, which must exit cleanly.
run_exporting_step() {
    local step=$1 marker=$2
    for attempt in 1 2 3; do
        rm -rf "$VANTOREL_SESSION_DIR/$3"
        if run_step "$step"; then
            return 0
        fi
        if [ -f "$VANTOREL_SESSION_DIR/$marker" ]; then
            echo "note: ardour7-lua failed after step $step was done (Ardour's export teardown); carrying on"
            return 0
        fi
        cp "$work/$step.log" "$work/$step.failed-$attempt.log"
        echo "note: ardour7-lua failed in step $step, attempt $attempt (log: $work/$step.failed-$attempt.log)"
    done
    grep -v "Ignored format" "$work/$step.log" >&2
    echo "ardour: step $step failed" >&2
    exit 1
}

# The LV2 plug-in where LV2 hosts look for it, with a user preset holding the settings of
# the VST3 export (delay 0.25 s, feedback 0.5, cutoff 4 kHz, low-pass, no boost, dry + wet),
# saved as an LV2 host saves one.
if [ -n "$lv2_bundle" ]; then
    mkdir -p "$HOME/.lv2"
    cp -r "$lv2_bundle" "$HOME/.lv2/"
    export LV2_PATH="$HOME/.lv2"
    "$lv2_preset_tool" "$HOME/.lv2/Vantorel.lv2" "$HOME/.lv2/vantorel-ardour-test.lv2" "Ardour test" \
        delay=0.25 feedback=0.5 cutoff=4000 ishpf=0 panic=0 feedbackboost=1 onoff=1 mix=1 oversampling=0
fi

run_exporting_step create created.txt vantorel
run_exporting_step latency latency-done.txt latency

if ! run_step reopen; then
    grep -v "Ignored format" "$work/reopen.log" >&2
    echo "ardour: reopening the session failed" >&2
    exit 1
fi

if [ -n "$lv2_bundle" ]; then
    run_exporting_step lv2-create lv2-created.txt lv2
    run_exporting_step lv2-reopen lv2-reopened-done.txt lv2-reopened.wav
fi

python3 "$here/check_session.py" "$VANTOREL_SESSION_DIR" ${lv2_bundle:+--lv2}
