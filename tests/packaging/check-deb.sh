#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack from this build, checked by lintian
# (no error), installed with dpkg into a scratch root whose package database is a copy of
# this machine's (so its dependencies are checked for real), used from there (the app starts,
# LV2 hosts find the plug-in, the VST3 renders), and removed again, leaving nothing behind.
# Usage: check-deb.sh BUILD_DIR OUT_DIR VANTOREL_RENDER
set -euo pipefail
build=$(realpath "$1")
out=$2
render=$3

for tool in cpack lintian dpkg dpkg-deb desktop-file-validate lv2info; do
    command -v "$tool" > /dev/null || { echo "missing $tool: run scripts/setup" >&2; exit 1; }
done

rm -rf "$out"
mkdir -p "$out"
out=$(realpath "$out")

cpack --config "$build/CPackConfig.cmake" -B "$out" > "$out/cpack.log" 2>&1 || { cat "$out/cpack.log" >&2; exit 1; }
deb=$(ls "$out"/vantorel_*_amd64.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg-deb --field "$deb" Depends Recommends Installed-Size

# lintian: any error fails; warnings and notes are shown.
lintian --fail-on error --tag-display-limit 0 --display-info "$deb" 2>&1 | grep -v "root privileges" | tee "$out/lintian.txt"
[ "${PIPESTATUS[0]}" -eq 0 ] || { echo "lintian reported errors" >&2; exit 1; }
echo "lintian: $(grep -c '^E:' "$out/lintian.txt") errors, $(grep -c '^W:' "$out/lintian.txt") warnings, $(grep -c '^I:' "$out/lintian.txt") notes"

root="$out/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
cp /var/lib/dpkg/status "$root/var/lib/dpkg/status"
touch "$root/var/lib/dpkg/available"
dpkg_options=(--root="$root" --log=/dev/null)
[ "$(id -u)" -eq 0 ] || dpkg_options+=(--force-not-root)

# dpkg in the scratch root; it notes every package of the copied database whose file list
# it lacks, which says nothing about ours.
dpkg_root() {
    dpkg "${dpkg_options[@]}" "$@" 2> >(grep -v "files list file for package" >&2)
}

dpkg_root --install "$deb"

for f in usr/lib/vst3/Vantorel.vst3/Contents/x86_64-linux/Vantorel.so \
         usr/lib/lv2/Vantorel.lv2/libVantorel.so usr/lib/lv2/Vantorel.lv2/manifest.ttl \
         usr/lib/lv2/Vantorel.lv2/dsp.ttl usr/lib/lv2/Vantorel.lv2/ui.ttl \
         usr/bin/Vantorel usr/share/applications/vantorel.desktop \
         usr/share/icons/hicolor/256x256/apps/vantorel.png usr/share/icons/hicolor/48x48/apps/vantorel.png \
         usr/share/man/man1/Vantorel.1.gz usr/share/doc/vantorel/copyright; do
    [ -f "$root/$f" ] || { echo "not installed: /$f" >&2; exit 1; }
done
echo "installed: $(dpkg_root --listfiles vantorel | grep -c .) paths"

# The installed files work where they are.
[ "$("$root/usr/bin/Vantorel" --version)" = "Vantorel 0.0.1" ] || { echo "the installed app does not start" >&2; exit 1; }
desktop-file-validate "$root/usr/share/applications/vantorel.desktop"
LV2_PATH="$root/usr/lib/lv2" HOME="$out" lv2info https://korvane.example/plugins/vantorel > "$out/lv2info.txt"
grep -q "Name:.*Vantorel" "$out/lv2info.txt" || { cat "$out/lv2info.txt" >&2; echo "lv2info does not find the installed LV2" >&2; exit 1; }
HOME="$out" "$render" --quiet --plugin "$root/usr/lib/vst3/Vantorel.vst3" --out "$out/installed-vst3.wav" --set mix=on
echo "the installed app, LV2 and VST3 work"

dpkg_root --purge vantorel
if dpkg_root --status vantorel 2> /dev/null | grep -q "^Status: install"; then
    echo "dpkg still lists the package" >&2
    exit 1
fi
left=$(find "$root/usr" -mindepth 1 2> /dev/null | head -20 || true)
if [ -n "$left" ]; then
    echo "left behind after removal:" >&2
    echo "$left" >&2
    exit 1
fi
echo "installed with dpkg and removed without a trace"
