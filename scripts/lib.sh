# Shared by scripts/test and scripts/demo (sourced, not run): install, build,
# and a Wine session (display, prefix, one long-lived wineserver) that ends
# with the script.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="$root/build"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

# Installs what is missing (a no-op when all is there), configures and builds
# everything, the two Windows sub-builds included.
install_and_build() {
  sh "$root/scripts/install-deps"
  cmake -S "$root" -B "$build_dir" >/dev/null
  cmake --build "$build_dir" -j2
}

started_xvfb=""
started_wineserver=""

end_wine_session() {
  if [ -n "$started_wineserver" ]; then
    "$wineserver" -k >/dev/null 2>&1 || true
  fi
  if [ -n "$started_xvfb" ]; then
    kill "$started_xvfb" 2>/dev/null || true
    wait "$started_xvfb" 2>/dev/null || true
  fi
}

# Xvfb when there is no display, the prefix created once (quietly, without the
# Mono and Gecko installer dialogs), and a wineserver that stays up for the
# whole session so each Wine start is quick.
start_wine_session() {
  : "${WINEPREFIX:=$build_dir/wineprefix}"
  export WINEPREFIX
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  trap end_wine_session EXIT

  if [ -z "${DISPLAY:-}" ]; then
    local number=99
    while [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ]; do
      number=$((number + 1))
    done
    Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    started_xvfb=$!
    for _ in $(seq 100); do
      [ -e "/tmp/.X11-unix/X$number" ] && break
      sleep 0.1
    done
    [ -e "/tmp/.X11-unix/X$number" ] || { echo "Xvfb :$number did not start" >&2; exit 1; }
    export DISPLAY=":$number"
  fi

  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$wine" wineboot -i >/dev/null 2>&1 || true
    "$wineserver" -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot did not create $WINEPREFIX" >&2; exit 1; }
  fi
  if "$wineserver" -p </dev/null >/dev/null 2>&1; then
    started_wineserver=yes
  fi
  # Start Wine's own background processes (services, devices, the desktop)
  # now, with nothing attached to their output: started later by a test they
  # would inherit that test's output pipe and, living as long as the server,
  # keep ctest waiting for it forever.
  # Chinese texts draw with the WenQuanYi font wherever Windows would use SimSun.
  "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
    /v SimSun /d 'WenQuanYi Micro Hei' /f </dev/null >/dev/null 2>&1 || true
  # Without a window manager, Wine draws the title bars itself, so screenshots
  # show the windows' captions.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1 || true
  local driver="$build_dir/win-x86_64/tests/windows/driver/qldriver.exe"
  if [ -f "$driver" ]; then
    "$wine" "$driver" list </dev/null >/dev/null 2>&1 || true
  else
    "$wine" wineboot </dev/null >/dev/null 2>&1 || true
  fi
}
