#!/usr/bin/env bash
# Installs what is missing, builds the native core and both Windows architectures, and runs the
# whole test suite: natively under sanitizers, and under Wine (with a private X display).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
cd "$tolvar_root"

tolvar_ensure_packages
trap 'tolvar_stop_wine; tolvar_stop_display' EXIT

presets=(native mingw32 mingw64)
for preset in "${presets[@]}"; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

echo "== test native (AddressSanitizer, UBSan)"
ctest --preset native

echo "== fuzz smoke runs (libFuzzer, ${TOLVAR_FUZZ_SECONDS:-20} s each)"
bash scripts/fuzz.sh "${TOLVAR_FUZZ_SECONDS:-20}"

# The display first: the prefix's set-up starts the desktop process, which must have one.
TOLVAR_OWN_DISPLAY=1 tolvar_start_display
tolvar_start_wine
tolvar_start_desktop

if tolvar_can_run_32bit; then
  echo "== test mingw32 (Wine)"
  ctest --preset mingw32
else
  echo "== test mingw32: not run: this machine cannot execute 32-bit x86 code, so Wine cannot"
  echo "   start 32-bit programs here. The 32-bit build was built; run its tests on a machine"
  echo "   that can (ctest --preset mingw32)."
fi
echo "== test mingw64 (Wine)"
ctest --preset mingw64
