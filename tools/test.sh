#!/usr/bin/env bash
# Installs what is needed, builds RFID with its tests and runs every test:
# first the normal build, then the INI fuzz target for a minute (clang), then the
# AddressSanitizer/UndefinedBehaviorSanitizer build.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/install-deps.sh"

run_suite() {
  local dir=$1; shift
  "$here/tools/build.sh" "$dir" "$@"
  (cd "$dir" && ctest --output-on-failure -j2 --timeout 600)
}

# The INI layer's fuzz target, in a clang build folder of its own (it needs only the profile module),
# for RFID_FUZZ_SECONDS (60) from the committed seeds and what earlier runs found.
run_fuzz() {
  if ! command -v clang++ >/dev/null; then
    echo "clang++ not found: the INI fuzz target is not run"
    return 0
  fi
  local dir=$here/build/fuzz
  cmake -S "$here/tests/fuzz" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build "$dir"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  if ! "$dir/profile_fuzzer" -max_total_time="${RFID_FUZZ_SECONDS:-60}" -max_len=4096 \
      -artifact_prefix="$dir/artifacts/" -print_final_stats=1 \
      "$dir/corpus" "$here/tests/fuzz/seeds" "$here/resources/languages" >"$dir/fuzz.log" 2>&1; then
    grep -v '^#[0-9]' "$dir/fuzz.log" | tail -40
    echo "INI fuzz target failed: the input is in $dir/artifacts"
    return 1
  fi
  grep -E '^Done|stat::number_of_executed_units' "$dir/fuzz.log"
}

run_suite "$here/build/test" -DRFID_WERROR=ON
run_fuzz
if [ "${RFID_SKIP_SANITIZE:-0}" != 1 ]; then
  run_suite "$here/build/sanitize" -DRFID_SANITIZE=ON
fi
