#!/usr/bin/env bash
# The Windows installer as a user (or an administrator's script) runs it, in a Wine prefix of
# its own, on the Wine tests' display:
#   1. a silent install (/S) puts Vantorel.vst3 into Common Files\VST3, the app into
#      Program Files\Korvane\Vantorel with a Start-menu entry, and registers the uninstaller;
#   2. the host-level tests load the module from C:\Program Files\Common Files\VST3\Vantorel.vst3,
#      and Steinberg's validator passes it there (where the validator is at hand);
#   3. the installed app shows its panel, quits from its close button and keeps its settings;
#   4. a preset saved by the user, then the registered quiet uninstall: everything the install
#      and the app added is gone, the preset is still there.
# Usage: InstallerUnderWine.sh INSTALLER OUT_DIR INSTALLED_TESTS PRESET_TOOL APP_CHECK REFERENCE RUN_APP_TEST RUN_JUDGE VALIDATOR
set -euo pipefail
installer=$(realpath "$1") out=$2 installed_tests=$(realpath "$3") preset_tool=$(realpath "$4")
app_check=$5 reference=$6 run_app_test=$7 run_judge=$8 validator=$9

rm -rf "$out"
mkdir -p "$out"
out=$(realpath "$out")
export WINEPREFIX="$out/prefix" HOME="$out/no-home" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
drive="$WINEPREFIX/drive_c"

# Wine's own programs get files for output, never ctest's pipes, and all end with the test.
trap 'wineserver -k > /dev/null 2>&1 || true' EXIT
wineboot --init > "$out/wineboot.log" 2>&1
wineserver -w

# What the prefix holds before: files and folders, less what Wine itself rewrites.
listing() {
    (cd "$drive" && find . -mindepth 1 | grep -v -E '^\./(windows|users/[^/]+/AppData/Local/Temp|users/[^/]+/Temp)(/|$)' | sort)
}
listing > "$out/before.txt"

reg_query() {
    wine reg query "$1" ${2:+/v "$2"} 2> /dev/null | tr -d '\r'
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantorel'

# 1. Silent install.
wine "$installer" /S > "$out/install.log" 2>&1
wineserver -w
for f in "Program Files/Common Files/VST3/Vantorel.vst3/Contents/x86_64-win/Vantorel.vst3" \
         "Program Files/Korvane/Vantorel/Vantorel.exe" "Program Files/Korvane/Vantorel/Uninstall.exe" \
         "Program Files/Korvane/Vantorel/LICENSE.txt" "ProgramData/Microsoft/Windows/Start Menu/Programs/Vantorel.lnk"; do
    [ -f "$drive/$f" ] || { echo "not installed: C:\\$f" >&2; exit 1; }
done
registered=$(reg_query "$uninstall_key")
echo "$registered"
for value in "DisplayName    REG_SZ    Vantorel" "DisplayVersion    REG_SZ    0.0.1" "Publisher    REG_SZ    Korvane" \
             "QuietUninstallString    REG_SZ    \"C:\\Program Files\\Korvane\\Vantorel\\Uninstall.exe\" /S"; do
    grep -qF "$value" <<< "$registered" || { echo "uninstall entry lacks: $value" >&2; exit 1; }
done
echo "installed: $(comm -13 "$out/before.txt" <(listing) | wc -l) new files and folders"

# 2. The host-level tests, with the module where the installer put it.
wine "$installed_tests" --gtest_brief=1 > "$out/installed-tests.log" 2>&1 || { cat "$out/installed-tests.log" >&2; exit 1; }
grep -E "PASSED|tests ran" "$out/installed-tests.log" | tr -d '\r'
judged=0
"$run_judge" "$out/validator.log" "Result: [0-9]+ tests passed, 0 tests failed" "$validator" \
    -e 'C:\Program Files\Common Files\VST3\Vantorel.vst3' -- env WINEPREFIX="$WINEPREFIX" HOME="$HOME" WINEDEBUG=-all wine || judged=$?
[ $judged -eq 0 ] || [ $judged -eq 77 ] || exit 1

# 3. The installed app, as on Linux but closed from its window both times.
VANTOREL_APP_TEST_DISPLAY=current "$run_app_test" "$app_check" "$reference" "$out/app" \
    "$drive/users/<user>/AppData/Roaming/Vantorel/Vantorel.settings" close "Windows Audio" \
    -- env WINEPREFIX="$WINEPREFIX" HOME="$HOME" WINEDEBUG=-all wine 'C:\Program Files\Korvane\Vantorel\Vantorel.exe'

# 4. A preset of the user's, then the quiet uninstall Windows would run.
preset=$(wine "$preset_tool" save "Kept by the uninstaller" delay=0.3 2> /dev/null | tr -d '\r')
echo "user's preset: $preset"
quiet=$(reg_query "$uninstall_key" QuietUninstallString | sed -n 's/.*REG_SZ    //p')
uninstaller=$(sed -n 's/^"\(.*\)" \/S$/\1/p' <<< "$quiet")
[ -n "$uninstaller" ] || { echo "unexpected quiet uninstall command: $quiet" >&2; exit 1; }
wine "$uninstaller" /S > "$out/uninstall.log" 2>&1
wineserver -w

if reg_query "$uninstall_key" > /dev/null; then
    echo "the uninstall entry is still registered" >&2
    exit 1
fi
reg_query 'HKLM\Software\Korvane' > /dev/null && { echo "HKLM\\Software\\Korvane is left" >&2; exit 1; }

preset_file=$(find "$drive/users" -path "*Vantorel_Presets/Kept by the uninstaller.vtrpreset")
[ -n "$preset_file" ] || { echo "the uninstaller took the user's preset" >&2; exit 1; }
left=$(comm -13 "$out/before.txt" <(listing) | grep -v -E "/Documents/Vantorel_Presets(/|$)" || true)
if [ -n "$left" ]; then
    echo "left behind by the uninstaller:" >&2
    echo "$left" >&2
    exit 1
fi
echo "uninstalled quietly: nothing left but the user's presets"
