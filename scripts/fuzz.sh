#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang with libFuzzer, ASan and UBSan) and runs each
# for the given number of seconds from its seed corpus; fails when any target finds a crash, a
# violated property or a hang. Installs nothing: needs clang and libclang-rt-14-dev.
#   scripts/fuzz.sh [seconds, default 20] [target...]
# TOLVAR_FUZZ_BUILD: build directory (default the preset's); TOLVAR_FUZZ_WORK: where the grown
# corpora and crash inputs go (default a fresh temporary directory, never the repository);
# TOLVAR_FUZZ_JOBS: how many targets run at once (default one per processor: each is one process
# and gets its seconds of a whole processor).
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

jobs=${TOLVAR_FUZZ_JOBS:-$(nproc)}
# fuzz_one <target>: one run; its exit code lands in <work>/<target>.status.
fuzz_one() {
  local target=$1 code=0
  mkdir -p "$work/$target"
  # The grown corpus goes to the first directory; the seeds are only read.
  "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/$target-" "$work/$target" "$root/fuzz/corpus/$target" \
    >"$work/$target.log" 2>&1 || code=$?
  echo "$code" >"$work/$target.status"
}

echo "== fuzz ${targets[*]} for ${seconds}s each, $jobs at a time"
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  fuzz_one "$target" &
  running=$((running + 1))
done
wait

failed=()
for target in "${targets[@]}"; do
  echo "== fuzz $target"
  if [ "$(cat "$work/$target.status" 2>/dev/null)" = 0 ]; then
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
