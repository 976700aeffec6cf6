#!/usr/bin/env bash
# The app as its user starts and quits it, on a virtual display with no sound card:
#   1. started fresh, its window shows the panel; closed with the window's close button
#      (WM_DELETE_WINDOW), it exits with 0 and has saved the plug-in's state;
#   2. started again with saved settings that hold other parameter values and an audio device
#      chosen in its Options (one this machine does not have, as when an interface is
#      unplugged), it shows its window and, asked to quit the second way (SIGTERM, as a
#      desktop session ends it, or the close button again where that is the only way, as
#      under Wine), exits with 0 and has saved the values and the device back: the app loaded
#      them and kept them.
# Either run fails on a leak report (JUCE's in Debug builds, LeakSanitizer's under ASan).
#
# Usage: run-app-test.sh CHECK REFERENCE.png OUT_DIR SETTINGS_FILE term|close AUDIO_TYPE -- APP_COMMAND...
#   SETTINGS_FILE: where the app keeps its settings; a leading ~/ is the scratch home the app
#   runs with (OUT_DIR/home), and <user> the user's name (Wine's user folder). AUDIO_TYPE: an
#   audio system of the platform ("ALSA", "Windows Audio").
set -euo pipefail

check=$1 reference=$2 out=$3 settings=$4 second_quit=$5 audio_type=$6
shift 6
[ "$1" = "--" ] && shift

if ! command -v xvfb-run > /dev/null; then
    echo "xvfb-run is not installed (scripts/setup installs it): skipped"
    exit 77
fi

# VANTOREL_APP_TEST_DISPLAY=current: use the display already given (a Windows app under Wine
# on the Wine tests' display); Wine makes its own atoms.
if [ "${VANTOREL_APP_TEST_DISPLAY:-}" = current ]; then
    export VANTOREL_APP_TEST_INNER=1
fi

if [ -z "${VANTOREL_APP_TEST_INNER:-}" ]; then
    # One private display for the whole test, bare as a display with no window manager is;
    # the app and the checker share it.
    export VANTOREL_APP_TEST_INNER=1
    exec xvfb-run -a -s "-screen 0 1920x1200x24" "$0" "$check" "$reference" "$out" "$settings" "$second_quit" "$audio_type" -- "$@"
fi

rm -rf "$out"
mkdir -p "$out/home"
out=$(realpath "$out")
export HOME="$out/home"
settings=${settings/#\~\//$HOME/}
settings=${settings//<user>/$(id -un)}

leak_patterns="Leaked objects detected|ERROR: LeakSanitizer|ERROR: AddressSanitizer"

# run NAME QUIT exact|loose: starts the app, checks its window, makes it quit, checks how it ended.
run() {
    local name=$1 quit=$2 compare=$3 pid status=0
    "${app[@]}" > "$out/$name.log" 2>&1 &
    pid=$!

    local options=()
    [ "$quit" = close ] && options+=(--close)
    [ "$compare" = loose ] && options+=(--loose)
    if ! "$check" window --title Vantorel --reference "$reference" --out "$out/$name.png" --timeout 90 "${options[@]}"; then
        kill -KILL "$pid" 2> /dev/null || true
        cat "$out/$name.log" >&2
        echo "app test: $name: the window check failed" >&2
        exit 1
    fi

    [ "$quit" = term ] && kill -TERM "$pid"

    # It must be gone within 20 s, on its own.
    for _ in $(seq 200); do
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2> /dev/null; then
        kill -KILL "$pid"
        cat "$out/$name.log" >&2
        echo "app test: $name: the app did not quit when asked ($quit)" >&2
        exit 1
    fi

    wait "$pid" || status=$?
    if [ "$status" -ne 0 ]; then
        cat "$out/$name.log" >&2
        echo "app test: $name: the app exited with $status after $quit" >&2
        exit 1
    fi
    if grep -E "$leak_patterns" "$out/$name.log" > /dev/null; then
        cat "$out/$name.log" >&2
        echo "app test: $name: leaks reported" >&2
        exit 1
    fi
    echo "$name: quit cleanly after $quit"
}

app=("$@")

run first close exact
"$check" read-settings "$settings" | tee "$out/first-settings.txt"
grep -qx "delay 0.2" "$out/first-settings.txt" || { echo "app test: the first run saved no default state" >&2; exit 1; }

saved="delay=0.47 feedback=0.25 cutoff=2500 ishpf=1 panic=0 feedbackboost=0 onoff=1 mix=1 oversampling=1"
device="$audio_type|Studio interface"
# shellcheck disable=SC2086
"$check" write-settings "$settings" "audio=$device" $saved
# The knobs and levers stand elsewhere now: the panel is only roughly the reference's.
run second "$second_quit" loose
"$check" read-settings "$settings" | tee "$out/second-settings.txt"
for value in $saved; do
    if ! grep -qx "${value/=/ }" "$out/second-settings.txt"; then
        echo "app test: the app did not keep ${value} from its settings" >&2
        exit 1
    fi
done
grep -qxF "audio ${device/|/ | }" "$out/second-settings.txt" || { echo "the app forgot its audio device" >&2; exit 1; }
echo "the app showed its panel, quit cleanly both ways and kept its settings"
