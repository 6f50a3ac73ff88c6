#!/usr/bin/env bash
# Builds the project and runs the whole test suite (ctest -j2) on the simulated machine, twice: a
# normal build, whose shared library must export the public API only, and an AddressSanitizer +
# UndefinedBehaviorSanitizer build; then a short fuzz pass over every parser and an end-to-end leak
# check under valgrind.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
started=$SECONDS

# Every C++ file as clang-format (the checked-in .clang-format) lays it out.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2
# The shared library exports the public classes and functions and nothing else.
scripts/check-exports.sh "$build/src/dovododuzu.di.1"
ctest --test-dir "$build" -j2 --output-on-failure

asan=${ASAN_BUILD_DIR:-build-asan}
cmake -S . -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=ON
cmake --build "$asan" -j2
# The install check builds an uninstrumented example against the instrumented library: the runtime
# then can't come first, which is harmless here, so that check alone is relaxed.
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:verify_asan_link_order=0 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir "$asan" -j2 --output-on-failure

FUZZ_BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz} fuzz/run.sh "${FUZZ_SECONDS:-10}"

# Definitely or indirectly lost memory fails the run. Qt's regular-expression JIT is switched off:
# memcheck cannot follow the machine code it writes and reports false uses of uninitialised values.
QT_ENABLE_REGEXP_JIT=0 valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite,indirect --error-exitcode=1 --num-callers=30 \
  "$build/tests/leak_endtoend_test"

echo "test.sh: everything passed in $((SECONDS - started)) s"
