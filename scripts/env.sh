# Shared set-up for the README's commands: packages, a throw-away Wine prefix, a display.
# Sourced; run as `bash env.sh <function> [arguments]` (as ctest does), it calls that function.

tolvar_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs what is missing; needs root (or sudo) only when something is.
tolvar_ensure_packages() {
  local want=(cmake ninja-build g++ clang lld libclang-rt-14-dev googletest
              g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386
              xvfb xauth imagemagick)
  local missing=()
  for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  # A mirror in the middle of a sync fails the update; a second try a little later may pass.
  local attempt
  for attempt in 1 2; do
    $sudo apt-get update -q 2>&1 | tee /dev/stderr | grep -q '^E:' || break
    [ "$attempt" -lt 2 ] && sleep 10
  done
  # With the recommended packages, as Wine was checked here (fonts, its 32-bit parts).
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}" && return 0
  # Wine's 32-bit half cannot be installed while a mirror's i386 index lags behind the amd64
  # one; without it the 64-bit suite still runs, and the 32-bit one is reported as not run.
  [[ " ${missing[*]} " == *" wine32:i386 "* ]] || return 1
  echo "Installing without wine32:i386: 32-bit programs will not run under Wine here"
  local rest=()
  for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${rest[@]}"
}

# Builds the given targets of the build that runs here: the 32-bit one (the primary), or the 64-bit
# one on a machine that cannot run 32-bit code. Leaves its preset in tolvar_preset.
tolvar_build_for_this_machine() {
  tolvar_preset=mingw32
  tolvar_can_run_32bit || tolvar_preset=mingw64
  cmake --preset "$tolvar_preset" >/dev/null
  cmake --build --preset "$tolvar_preset" --target "$@"
}

# True when this machine can execute 32-bit x86 code (some virtual machines cannot,
# and then Wine cannot start 32-bit Windows programs).
tolvar_can_run_32bit() {
  /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# A fresh prefix with a persistent server, so each Wine process starts in a fraction of a second.
tolvar_start_wine() {
  export WINEDEBUG=-all
  export WINEPREFIX=${TOLVAR_WINEPREFIX:-$(mktemp -d /tmp/tolvar-wine.XXXXXX)/prefix}
  mkdir -p "$WINEPREFIX"
  # The persistent server first, so that the prefix's own set-up already uses it; one that is
  # running already (exit code 2) serves as well.
  wineserver -p </dev/null >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$tolvar_root/scripts/wine-run" wineboot -i </dev/null >/dev/null 2>&1
  fi
  # Without a window manager, closing a managed window waits two seconds.
  "$tolvar_root/scripts/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
    </dev/null >/dev/null 2>&1 || true
}

# The desktop's window manager, started here with no output attached: otherwise the first test
# program that shows a window starts it, it inherits that test's output pipe, and the test runner
# waits for the pipe to close until the test times out.
tolvar_start_desktop() {
  "$tolvar_root/scripts/wine-run" explorer.exe /desktop </dev/null >/dev/null 2>&1 &
  sleep 1
}

tolvar_stop_wine() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
}

# A prefix made fresh at the given path for tests that change its registry, with its own server
# and desktop process; anything left there by an interrupted run goes first.
tolvar_start_private_wine() {
  tolvar_remove_prefix "$1"
  TOLVAR_WINEPREFIX=$1 tolvar_start_wine
  tolvar_start_desktop
}

# Removes that prefix, and starts the shared prefix's desktop process again: Wine closes a desktop
# a second after its last program ends, and none of the shared prefix's ran in the meantime.
tolvar_stop_private_wine() {
  tolvar_remove_prefix "$1"
  if [ -n "${WINEPREFIX:-}" ]; then tolvar_start_desktop; fi
}

tolvar_remove_prefix() {
  [ -n "$1" ] && [ -d "$1" ] || return 0
  # The server writes the registry out as it ends: wait for it before removing the prefix.
  WINEPREFIX=$1 wineserver -k </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$1 wineserver -w </dev/null >/dev/null 2>&1 || true
  rm -rf "$1"
}

# Starts Xvfb on a free display unless one is already given.
tolvar_start_display() {
  if [ -n "${DISPLAY:-}" ] && [ "${TOLVAR_OWN_DISPLAY:-0}" != 1 ]; then return 0; fi
  local n=90
  while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
  Xvfb :$n -screen 0 1600x1200x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  tolvar_xvfb_pid=$!
  for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.05; done
  export DISPLAY=:$n
}

tolvar_stop_display() {
  [ -n "${tolvar_xvfb_pid:-}" ] && kill "$tolvar_xvfb_pid" 2>/dev/null || true
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  "$@"
fi
