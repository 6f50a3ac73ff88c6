#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time on a copy of its seeds.
#   fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]      (default 60 s, every target)
# Finds are left in $FUZZ_BUILD_DIR/findings/<target>/ and make the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${FUZZ_JOBS:-2}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DDOVODODUZU_BUILD_FUZZ=ON -DDOVODODUZU_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz_targets -j2

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi

# One target: a scratch corpus seeded from the checked-in one, so the source tree stays clean.
run_target() {
  local target=$1 name=${1#fuzz_}
  local work="$build/fuzz-work/$name" findings="$build/findings/$name"
  rm -rf "$work" "$findings"
  mkdir -p "$work" "$findings"
  cp fuzz/corpus/"$name"/* "$work"/
  if "$build/fuzz/$target" "$work" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -artifact_prefix="$findings/" -print_final_stats=1 >"$build/findings/$name.log" 2>&1; then
    echo "fuzz $name: clean, $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$build/findings/$name.log" | grep -o '[0-9]*$') runs in ${seconds}s"
    rmdir "$findings"
    return 0
  fi
  echo "fuzz $name: FINDING, see $build/findings/$name.log and $findings/"
  grep -m5 -E 'ERROR|runtime error|SUMMARY' "$build/findings/$name.log" || true
  return 1
}

failed=0
running=0
pids=()
for target in "${targets[@]}"; do
  run_target "$target" &
  pids+=($!)
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
    running=$((running - 1))
  fi
done
for pid in "${pids[@]}"; do
  wait "$pid" || failed=1
done
exit $failed
