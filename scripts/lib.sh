# Shared by scripts/test and scripts/demo (sourced, not run): install, build,
# and a Wine session (display, prefix, one long-lived wineserver) around a command.

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
