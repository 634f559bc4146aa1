#!/usr/bin/env bash
# Takes the README's picture, docs/tolvar.png: Tolvar after registering three controls in one
# run, one of which fails. Installs what is missing and builds what it needs; runs on a virtual
# display and a Wine prefix of its own.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
cd "$tolvar_root"

tolvar_ensure_packages
tolvar_build_for_this_machine Tolvar testcom
bin=build/$tolvar_preset/bin

work=$(mktemp -d /tmp/tolvar-readme-shot.XXXXXX)
export TOLVAR_WINEPREFIX=$work/prefix LC_ALL=C.UTF-8
TOLVAR_OWN_DISPLAY=1 tolvar_start_display
trap 'tolvar_stop_wine; tolvar_stop_display; rm -rf "$work"' EXIT
tolvar_start_wine

# Wine's own winepath, through the loader that runs on this machine.
windows_path() { "$tolvar_root/scripts/wine-run" winepath -w "$1" 2>/dev/null; }

# Three copies of the test server; the third is asked to fail its registration.
servers=$TOLVAR_WINEPREFIX/drive_c/Controls
mkdir -p "$servers"
cp "$bin/Tolvar.exe" "$work/"
files=()
for name in Grid.ocx Chart.ocx Report.ocx; do
  cp "$bin/testcom.dll" "$servers/$name"
  files+=("$(windows_path "$servers/$name")")
done
touch "$servers/Report.ocx.fail"

# At the size Tolvar opens, in a virtual desktop that draws its title bar.
"$tolvar_root/scripts/wine-run" explorer /desktop=Tolvar,800x500 \
  "$(windows_path "$work/Tolvar.exe")" /register "${files[@]}" </dev/null >/dev/null 2>&1 &
for _ in $(seq 100); do
  [ -s "$servers/Grid.ocx.log" ] && [ -s "$servers/Chart.ocx.log" ] && break
  sleep 0.2
done
sleep "${TOLVAR_SHOT_SETTLE_SECONDS:-2}"
# The window alone: the desktop around it, of the colour of its far corner, is cut away.
import -window root -crop 800x500+0+0 +repage "$work/desktop.png"
desktop=$(convert "$work/desktop.png" -format '%[pixel:p{799,499}]' info:)
convert "$work/desktop.png" -bordercolor "$desktop" -border 1 -trim +repage -strip -colors 64 \
  docs/tolvar.png
echo "Wrote $tolvar_root/docs/tolvar.png"
