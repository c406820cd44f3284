#!/usr/bin/env bash
# The build benchmark (not a test; CI does not run it). On the tree that
# bench/make_corpus.py writes (at least 300 MB, some 24,000 files), side by
# side in one run: a plain single-threaded zlib level-9 loop over the same
# 9 MiB chunks, the Linux builder on one thread and on all threads, and the
# Windows builder under Wine when it and Wine are there. Each with its time
# and its packed output relative to the zlib loop's, and its peak memory.
# With --levels it also lists libdeflate's levels against zlib's level 9, the
# measurement the default level is chosen by. Run it on an otherwise idle
# machine: other work in parallel falsifies the times.
# Usage: bench/build_throughput.sh [MEGABYTES] [--levels]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${QUILLON_BUILD_DIR:-$root/build}
megabytes=320
levels=""
for argument in "$@"; do
    case $argument in
        --levels) levels=yes ;;
        *) megabytes=$argument ;;
    esac
done
[ "$megabytes" -ge 300 ] || { echo "the tree must have at least 300 MB" >&2; exit 2; }
work=${QUILLON_BENCH_DIR:-/tmp/quillon-bench}
corpus=$work/corpus-$megabytes

cmake --build "$build" --target quillon zlib_baseline deflate_levels -j2 >/dev/null
if [ ! -d "$corpus" ]; then
    rm -rf "$corpus.tmp"
    python3 "$here/make_corpus.py" "$corpus.tmp" "$megabytes" >/dev/null
    mv "$corpus.tmp" "$corpus"
fi
(cd "$corpus" && find . -type f | LC_ALL=C sort | sed "s|^\.|$corpus|") > "$work/files"
xargs -d '\n' cat < "$work/files" > /dev/null  # every run reads from the page cache

if [ -n "$levels" ]; then
    echo "libdeflate's levels against zlib's level 9 (packing only, one thread):"
    "$build/bench/deflate_levels" < "$work/files"
    echo
fi

windows_builder=$build/win-x86_64/builder/cli/quillon.exe
[ -x /usr/lib/wine/wine64 ] && [ -f "$windows_builder" ] || windows_builder=""
exec python3 - "$root" "$build" "$corpus" "$work" "$windows_builder" <<'PY'
import os, struct, subprocess, sys, time

root, build, corpus, work, windows_builder = sys.argv[1:6]
files = open(os.path.join(work, "files")).read().splitlines()
size = sum(os.path.getsize(f) for f in files)
processors = len(os.sched_getaffinity(0))


def run(command, env=None):
    """Seconds and peak memory (MiB) of one run."""
    start = time.monotonic()
    process = subprocess.Popen(command, env={**os.environ, **(env or {})}, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.monotonic() - start
    output = process.stdout.read().decode(errors="replace")
    if status != 0:
        sys.exit(f"{command[0]} failed ({status}): {output}")
    return seconds, usage.ru_maxrss / 1024, output


def packed_streams(sfx):
    """The bytes of the zlib streams in an SFX file, found by its chunk headers."""
    data = open(sfx, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional
    start = max(sum(struct.unpack_from("<II", data, table + 40 * i + 16)) for i in range(sections))
    position, packed = start + 2330, 0
    while True:
        _, name_length, entry_size, dos_time, attributes = struct.unpack_from("<BiiII", data, position)
        position += 17
        if name_length == 0 and entry_size == 0 and dos_time == 0 and attributes == 0:
            return packed
        position += name_length
        done = 0
        while not attributes & 0x10 and done < entry_size:
            unpacked, length = struct.unpack_from("<II", data, position)
            position += 8 + length
            packed += length
            done += unpacked
        position += 4


baseline_out = subprocess.run([os.path.join(build, "bench", "zlib_baseline")], input="\n".join(files) + "\n",
                              capture_output=True, text=True, check=True).stdout.split()
zlib_bytes, zlib_packed, zlib_seconds = int(baseline_out[0]), int(baseline_out[1]), float(baseline_out[2])

rows = [("zlib level-9 loop, 1 thread", zlib_seconds, zlib_packed, None, None)]
target = os.path.join(work, "bench.exe")
quillon = os.path.join(build, "builder", "cli", "quillon")
for threads in sorted({1, processors}):
    seconds, memory, _ = run([quillon, "-h", "-o", "-c", f"--threads={threads}", corpus, target])
    rows.append((f"quillon, {threads} thread{'s' if threads > 1 else ''}", seconds, packed_streams(target),
                 os.path.getsize(target), memory))

if windows_builder:
    prefix = os.path.join(build, "wineprefix")
    env = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
    if os.path.isfile(os.path.join(prefix, "system.reg")):
        env["WINEPREFIX"] = prefix
    wine_run = os.path.join(root, "scripts", "wine-run")
    z = lambda path: "Z:" + path.replace("/", "\\")
    tiny = os.path.join(work, "tiny")
    os.makedirs(tiny, exist_ok=True)
    open(os.path.join(tiny, "a.txt"), "w").write("warm-up")
    run([wine_run, windows_builder, "-h", "-o", "-c", z(tiny), z(target)], env)  # Wine starts up here
    seconds, memory, _ = run([wine_run, windows_builder, "-h", "-o", "-c", z(corpus), z(target)], env)
    rows.append((f"quillon.exe under Wine, {processors} threads", seconds, packed_streams(target),
                 os.path.getsize(target), memory))

print(f"tree:     {size / 1e6:.1f} MB in {len(files)} files ({corpus})")
print(f"machine:  {processors} processors; times are wall-clock seconds\n")
print(f"{'':34} {'seconds':>8} {'time/zlib-9':>12} {'packed MB':>10} {'size/zlib-9':>12} {'SFX MB':>8} {'peak MiB':>9}")
for name, seconds, packed, sfx, memory in rows:
    print(f"{name:34} {seconds:8.2f} {seconds / zlib_seconds:12.3f} {packed / 1e6:10.2f} {packed / zlib_packed:12.4f} "
          f"{sfx / 1e6 if sfx else 0:8.2f} {memory or 0:9.1f}")
parallel = rows[2] if processors > 1 else rows[1]
print(f"\nLinux builder on all threads: {parallel[1] / zlib_seconds:.3f} of the zlib-9 loop's time (goal: at most "
      f"0.2), packed output {parallel[2] / zlib_packed:.4f} of its size (goal: at most 1)")
PY
