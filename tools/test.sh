#!/usr/bin/env bash
# Installs what is needed, builds RFID with its tests and runs every test: first the normal build, then
# the INI fuzz target for a minute (clang), then the AddressSanitizer/UndefinedBehaviorSanitizer build.
#
#   tools/test.sh            everything, as CI runs it
#   tools/test.sh --quick    the edit loop: the normal build, and its unit and gui tests only
#
# The compiler cache (ccache, in the user's cache folder) makes a second run on the same machine fast.
# The time of each phase is printed at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
quick=0
[ "${1:-}" = "--quick" ] && quick=1

phases=()
phase() { # phase NAME COMMAND...: runs the command and notes its time
  local name=$1; shift
  local start=$SECONDS
  "$@"
  phases+=("$(printf '%-28s %4d s' "$name" $((SECONDS - start)))")
}
report() {
  echo
  echo "phase times:"
  printf '  %s\n' "${phases[@]}"
}
trap report EXIT

# Twice as many tests as cores at once: most of their time is spent waiting (a test server starting, the
# emulated reader answering), not computing.
test_jobs=$(( $(nproc) * 2 ))
run_tests() {
  local dir=$1; shift
  (cd "$dir" && ctest --output-on-failure -j"$test_jobs" --timeout 600 "$@")
}

# The INI layer's fuzz target, in a clang build folder of its own (it needs only the profile module),
# for RFID_FUZZ_SECONDS (60) from the committed seeds and what earlier runs found.
build_fuzz() {
  cmake -S "$here/tests/fuzz" -B "$here/build/fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build "$here/build/fuzz"
}
run_fuzz() {
  local dir=$here/build/fuzz
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

phase "install packages" "$here/tools/install-deps.sh"
phase "build (test)" "$here/tools/build.sh" "$here/build/test" -DRFID_WERROR=ON
if [ $quick = 1 ]; then
  phase "unit and gui tests" run_tests "$here/build/test" -L "unit|gui"
  exit 0
fi
phase "tests (test)" run_tests "$here/build/test" -LE soak
# The soak tests mostly wait on the window: they run in the background while the compiler works.
soak_log=$here/build/test/soak.log
rm -f "$soak_log.rc"
# In a process group of its own, so that a phase that fails ends the soak with the script.
setsid bash -c 'cd "$1" && ctest --output-on-failure -j2 --timeout 900 -L soak; echo $? >"$2.rc"' \
  soak "$here/build/test" "$soak_log" >"$soak_log" 2>&1 &
soak_pid=$!
trap 'kill -- -$soak_pid 2>/dev/null || true; report' EXIT
finish_soak() {
  wait $soak_pid || true
  cat "$soak_log"
  return "$(cat "$soak_log.rc")"
}
if command -v clang++ >/dev/null; then
  phase "build (fuzz)" build_fuzz
  phase "fuzz" run_fuzz
else
  echo "clang++ not found: the INI fuzz target is not run"
fi
if [ "${RFID_SKIP_SANITIZE:-0}" != 1 ]; then
  phase "build (sanitize)" "$here/tools/build.sh" "$here/build/sanitize" -DRFID_SANITIZE=ON
  phase "soak (beside that build)" finish_soak
  phase "tests (sanitize)" run_tests "$here/build/sanitize"
else
  phase "soak" finish_soak
fi
