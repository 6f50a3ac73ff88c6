#!/usr/bin/env bash
# Fails when the shared library exports a dynamic symbol that is not part of the public API.
#   scripts/check-exports.sh [LIBRARY] [HEADER_DIR]     (default build/src/dovododuzu.di.1, src)
# The allowed names come from the public headers: every class or struct marked DOVODODUZU_EXPORT
# (members, meta-object, typeinfo, vtable, thunks) and every free function marked DOVODODUZU_EXPORT.
set -euo pipefail
cd "$(dirname "$0")/.."
library=${1:-${BUILD_DIR:-build}/src/dovododuzu.di.1}
headers=${2:-src}
public_headers=(utils.h lvmdrive.h harddrive.h roz.h itemmodels.h operations.h safety.h jobs.h)

if [ ! -f "$library" ]; then
  echo "check-exports: no library at $library" >&2
  exit 2
fi

header_paths=()
for header in "${public_headers[@]}"; do
  header_paths+=("$headers/$header")
done

# "class DOVODODUZU_EXPORT Lv : public QObject" gives Lv.
classes=$(sed -n -E 's/^[[:space:]]*(class|struct)[[:space:]]+DOVODODUZU_EXPORT[[:space:]]+([A-Za-z_][A-Za-z0-9_]*).*/\2/p' \
  "${header_paths[@]}" | sort -u)
# "DOVODODUZU_EXPORT Verdict canNameGroup(const Lvm& lvm, ..." gives canNameGroup.
functions=$(sed -n -E 's/^[[:space:]]*DOVODODUZU_EXPORT[[:space:]]+[^(]*[^A-Za-z0-9_(]([A-Za-z_][A-Za-z0-9_]*)[[:space:]]*\(.*/\1/p' \
  "${header_paths[@]}" | sort -u)

declare -A allowed_class allowed_function
for name in $classes; do allowed_class[$name]=1; done
for name in $functions; do allowed_function[$name]=1; done

# The symbol's owner: "vtable for Lv" is Lv's, "Lv::resize(long long)" is Lv's, "chomp(char*)" is chomp.
is_public() {
  local symbol=$1
  symbol=${symbol#non-virtual thunk to }
  symbol=${symbol#virtual thunk to }
  case $symbol in
    "typeinfo for "* | "typeinfo name for "* | "vtable for "* | "VTT for "*)
      [ -n "${allowed_class[${symbol##* for }]:-}" ]
      return
      ;;
  esac
  local name=${symbol%%(*}
  if [[ $name == *::* ]]; then
    [ -n "${allowed_class[${name%%::*}]:-}" ]
  else
    [ -n "${allowed_function[$name]:-}" ]
  fi
}

total=0
stray=()
while IFS= read -r symbol; do
  total=$((total + 1))
  is_public "$symbol" || stray+=("$symbol")
done < <(nm -D --defined-only -C "$library" | cut -d' ' -f3-)

if [ ${#stray[@]} -gt 0 ]; then
  echo "check-exports: $library exports ${#stray[@]} symbol(s) outside the public API:"
  printf '  %s\n' "${stray[@]}"
  exit 1
fi
echo "check-exports: $library exports $total symbols, all from the public API" \
  "($(wc -w <<<"$classes") classes, $(wc -w <<<"$functions") functions)"
