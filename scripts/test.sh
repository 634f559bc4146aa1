#!/usr/bin/env bash
# Installs what is missing, builds the native core and both Windows architectures (with GCC, and
# with clang for a second compiler's warnings), and runs the whole test suite: natively under
# sanitizers, and under Wine (with a private X display). Every suite runs even when an earlier one
# fails; the output ends with one line per suite, and the exit code is non-zero when any failed.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
cd "$tolvar_root"

tolvar_ensure_packages || exit 1
trap 'tolvar_stop_wine; tolvar_stop_display' EXIT

summary=()
status=0
# report <suite> <exit code> <text>
report() {
  summary+=("$1: $3")
  [ "$2" -eq 0 ] || status=1
}

# Each stage's time, printed before the summary: stage_done <name> ends the stage under way.
stages=()
stage_start=$SECONDS
stage_done() {
  stages+=("$(printf '%-22s %4d s' "$1" $((SECONDS - stage_start)))")
  stage_start=$SECONDS
}

# Every build is configured at the start, all at once: a configure runs one process at a time
# (mostly the compiler checks), so the others use the second processor.
# The benchmark programs, which no test runs, are built once by each compiler: for 64-bit by GCC,
# for 32-bit by clang. The 32-bit GCC build leaves out its tests too where this machine cannot run
# them: clang builds them for 32-bit, and GCC for 64-bit.
tests32=ON
tolvar_can_run_32bit || tests32=OFF
declare -A configure_pid configure_args=(
  [mingw32]="-DTOLVAR_BENCH_PROGRAMS=OFF -DTOLVAR_TESTS=$tests32"
  [clang-mingw64]="-DTOLVAR_BENCH_PROGRAMS=OFF")
for preset in native mingw32 mingw64 clang-mingw32 clang-mingw64 fuzz; do
  mkdir -p "build/$preset"
  # shellcheck disable=SC2086 # options, or nothing
  cmake --preset "$preset" ${configure_args[$preset]:-} >"build/$preset/configure.log" 2>&1 &
  configure_pid[$preset]=$!
done
# configured <preset>: waits for its configure; shows its output when it failed.
configured() {
  wait "${configure_pid[$1]}" && return 0
  cat "build/$1/configure.log"
  return 1
}

declare -A built
build() {
  echo "== build $1"
  local start=$SECONDS
  if configured "$1" && cmake --build --preset "$1"; then
    built[$1]=1
    build_seconds=$((SECONDS - start))
    return 0
  fi
  return 1
}

# ctest of one preset, with its counts in the summary (from ctest's own closing lines; a test
# whose set-up failed counts as failed there).
run_ctest() {
  local preset=$1 log=$tolvar_root/build/$1/ctest.log
  if [ -z "${built[$preset]:-}" ]; then
    report "$preset" 1 "not run: the build failed"
    return
  fi
  ctest --preset "$preset" 2>&1 | tee "$log"
  local code=${PIPESTATUS[0]} counts failed total skipped
  counts=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\)$/\1 \2/p' "$log")
  if [ -z "$counts" ]; then
    report "$preset" 1 "failed: no tests ran (ctest exit code $code)"
    return
  fi
  read -r failed total <<<"$counts"
  skipped=$(sed -n '/^The following tests did not run:/,/^$/p' "$log" | grep -c '(Skipped)$')
  report "$preset" "$code" "$((total - failed - skipped)) passed, $failed failed, $skipped skipped"
}

for preset in native mingw32 mingw64; do
  build "$preset"
  stage_done "build $preset"
done

# The release archives: each must hold the Tolvar.exe and both registration hosts just built, and
# README.txt, nothing else.
package_programs=(Tolvar.exe TolvarHost32.exe TolvarHost64.exe)
check_package() {
  local preset=$1 architecture=$2 dir=$tolvar_root/build/$1 suite=package-$2
  if [ -z "${built[$preset]:-}" ]; then
    report "$suite" 1 "not made: the build failed"
    return
  fi
  rm -f "$dir"/Tolvar-*-"$architecture".zip
  if ! cmake --build --preset "$preset" --target package >/dev/null; then
    report "$suite" 1 "cpack failed"
    return
  fi
  local zip listing expected unpacked program same=1
  zip=$(ls "$dir"/Tolvar-*-"$architecture".zip 2>/dev/null | head -n 1)
  if [ -z "$zip" ]; then
    report "$suite" 1 "no Tolvar-<version>-$architecture.zip made"
    return
  fi
  listing=$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')
  expected=$(printf '%s\n' README.txt "${package_programs[@]}" | sort | tr '\n' ' ')
  unpacked=$(mktemp -d)
  (cd "$unpacked" && cmake -E tar xf "$zip")
  for program in "${package_programs[@]}"; do
    cmp -s "$unpacked/$program" "$dir/bin/$program" || same=
  done
  if [ "$listing" = "$expected" ] && [ -n "$same" ]; then
    report "$suite" 0 "$(basename "$zip") holds ${package_programs[*]} and README.txt"
  elif [ "$listing" = "$expected" ]; then
    report "$suite" 1 "$(basename "$zip") holds programs other than those built"
  else
    report "$suite" 1 "$(basename "$zip") holds: $listing"
  fi
  rm -rf "$unpacked"
}
check_package mingw32 win32
check_package mingw64 win64
stage_done "packages"

# clang builds only: its warnings are errors too; the programs that run are GCC's.
for preset in clang-mingw32 clang-mingw64; do
  if build "$preset"; then
    report "$preset" 0 "built warning-free in ${build_seconds} s (not run)"
  else
    report "$preset" 1 "build failed"
  fi
  stage_done "build $preset"
done

# The Wine prefix is made in the background while the native tests run (one at a time, leaving a
# processor free) and the fuzzers start. The display first: the prefix's set-up starts the desktop
# process, which must have one.
TOLVAR_OWN_DISPLAY=1 tolvar_start_display
export WINEDEBUG=-all
export WINEPREFIX=${TOLVAR_WINEPREFIX:-$(mktemp -d /tmp/tolvar-wine.XXXXXX)/prefix}
(export LC_ALL=C.UTF-8 TOLVAR_WINEPREFIX=$WINEPREFIX; tolvar_start_wine) &
wine_setup_pid=$!

echo "== test native (AddressSanitizer, UBSan)"
run_ctest native
stage_done "test native"

echo "== fuzz smoke runs (libFuzzer, ${TOLVAR_FUZZ_SECONDS:-6} s each)"
configured fuzz >/dev/null
if bash scripts/fuzz.sh "${TOLVAR_FUZZ_SECONDS:-6}"; then
  report fuzz 0 "every target ran clean"
else
  report fuzz 1 "failed"
fi
stage_done "fuzz"

# Wine gives folders named outside the ANSI code page Unix names only under a UTF-8 locale;
# C.UTF-8 is on every Debian machine and keeps the code page at 1252.
export LC_ALL=C.UTF-8
wait "$wine_setup_pid"
# The desktop process now: Wine closes a desktop soon after its last program ends.
tolvar_start_desktop
stage_done "Wine prefix"

if tolvar_can_run_32bit; then
  echo "== test mingw32 (Wine)"
  run_ctest mingw32
else
  echo "== test mingw32: not run: this machine cannot execute 32-bit x86 code, so Wine cannot"
  echo "   start 32-bit programs here. The 32-bit programs were built (its tests by clang only);"
  echo "   run the tests on a machine that can (ctest --preset mingw32)."
  if [ -n "${built[mingw32]:-}" ]; then
    report mingw32 0 "not run: this machine cannot execute 32-bit x86 code"
  else
    report mingw32 1 "build failed (and this machine cannot execute 32-bit x86 code)"
  fi
fi
stage_done "test mingw32"
echo "== test mingw64 (Wine)"
run_ctest mingw64
stage_done "test mingw64"

echo "== stage times (total $SECONDS s)"
printf '%s\n' "${stages[@]}"
echo "== summary"
printf '%s\n' "${summary[@]}"
exit "$status"
