#!/usr/bin/env bash
# Installs what is missing, builds Tolvar and opens it under Wine. With no display it runs on a
# virtual one and leaves a screenshot in build/tolvar.png.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
cd "$tolvar_root"

tolvar_ensure_packages
tolvar_build_for_this_machine Tolvar
exe=build/$tolvar_preset/bin/Tolvar.exe

# A prefix of its own that lasts between runs, so what is registered stays registered.
export TOLVAR_WINEPREFIX=${TOLVAR_WINEPREFIX:-$tolvar_root/build/wine/prefix}

if [ -n "${DISPLAY:-}" ]; then
  tolvar_start_wine
  echo "Opening $exe"
  "$tolvar_root/scripts/wine-run" "$exe"
else
  # The display first: the prefix's set-up starts the desktop process, which must have one.
  TOLVAR_OWN_DISPLAY=1 tolvar_start_display
  trap 'tolvar_stop_wine; tolvar_stop_display' EXIT
  tolvar_start_wine
  echo "No display: Tolvar runs on the virtual display $DISPLAY."
  # A virtual desktop draws the window's title bar, which has no window manager here.
  "$tolvar_root/scripts/wine-run" explorer /desktop=Tolvar,640x400 \
    "Z:$(realpath "$exe" | tr / '\\')" </dev/null >/dev/null 2>&1 &
  sleep "${TOLVAR_SHOW_SECONDS:-5}"
  import -window root -crop 640x400+0+0 build/tolvar.png
  echo "Screenshot: $tolvar_root/build/tolvar.png (run with a display to use the window)."
fi
