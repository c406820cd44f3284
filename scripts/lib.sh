# Shared by scripts/test, scripts/demo and scripts/fuzz (sourced, not run):
# install, build, the sanitizer build and its fuzz targets, and a Wine session
# (display, prefix, one long-lived wineserver) around a command.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="$root/build"

# Installs what is missing (a no-op when all is there), configures and builds
# everything, the two Windows sub-builds included.
install_and_build() {
  sh "$root/scripts/install-deps"
  cmake -S "$root" -B "$build_dir" >/dev/null
  cmake --build "$build_dir" -j2
}

# Runs a command in one Wine session: the display (an Xvfb when none is set),
# the prefix build/wineprefix, and one wineserver for the whole run; see
# tests/e2e/wine_session.py, the one place that sets these up.
in_wine_session() {
  python3 "$root/tests/e2e/wine_session.py" session -- "$@"
}

sanitize_dir="$build_dir/sanitize"

# The native code once more with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and the libFuzzer targets; the Windows programs
# are taken from the main build.
build_sanitized() {
  CC=clang CXX=clang++ cmake -S "$root" -B "$sanitize_dir" -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON \
    -DQUILLON_FUZZ=ON -DQUILLON_WINDOWS_FROM="$build_dir" >/dev/null
  cmake --build "$sanitize_dir" -j2
}

# Runs each fuzz target for $1 seconds over seeds made from the main build's
# files, over the inputs that once broke a target (tests/fuzz/regressions, given
# to every target) and over what earlier runs found (build/fuzz/corpus). A
# crash ends it with the input under build/fuzz/artifacts/ and the end of the
# target's log.
run_fuzzers() {
  local seconds=$1 fuzz="$build_dir/fuzz" target log
  python3 "$root/tests/fuzz/make_seeds.py" "$build_dir" "$fuzz/seeds"
  mkdir -p "$fuzz/artifacts"
  for target in container_walk resource_editor icon_file command_line; do
    mkdir -p "$fuzz/corpus/$target"
    log="$fuzz/$target.log"
    if ! "$sanitize_dir/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
        -artifact_prefix="$fuzz/artifacts/$target-" "$fuzz/corpus/$target" "$fuzz/seeds/$target" \
        "$root/tests/fuzz/regressions" >"$log" 2>&1; then
      tail -n 60 "$log" >&2
      echo "fuzz_$target failed; its log: $log" >&2
      return 1
    fi
    echo "fuzz_$target: $seconds s, $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') inputs, no crash"
  done
}
