#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang with libFuzzer, ASan and UBSan) and runs each
# for the given number of seconds from its seed corpus; fails when any target finds a crash, a
# violated property or a hang. Installs nothing: needs clang and libclang-rt-14-dev.
#   scripts/fuzz.sh [seconds, default 20] [target...]
# TOLVAR_FUZZ_BUILD: build directory (default the preset's); TOLVAR_FUZZ_WORK: where the grown
# corpora and crash inputs go (default a fresh temporary directory, never the repository).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-20}
shift $(($# > 0 ? 1 : 0))
build=${TOLVAR_FUZZ_BUILD:-$root/build/fuzz}
work=${TOLVAR_FUZZ_WORK:-$(mktemp -d /tmp/tolvar-fuzz.XXXXXX)}

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

failed=()
for target in "${targets[@]}"; do
  echo "== fuzz $target for ${seconds}s"
  mkdir -p "$work/$target"
  # The grown corpus goes to the first directory; the seeds are only read.
  if "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$work/$target-" "$work/$target" "$root/fuzz/corpus/$target" \
      >"$work/$target.log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$target.log" || true
  else
    tail -n 40 "$work/$target.log"
    failed+=("$target")
  fi
done

echo "Logs, grown corpora and crash inputs: $work"
if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing failed: ${failed[*]}"
  exit 1
fi
