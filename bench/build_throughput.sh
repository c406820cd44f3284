#!/usr/bin/env bash
# The build benchmark (not a test; CI does not run it). On the tree that
# bench/make_corpus.py writes (320 MB and some 24,000 files unless told
# otherwise), side by side: a plain single-threaded zlib level-9 loop over the
# same 9 MiB chunks, the Linux builder on one thread and on all threads, and
# the Windows builder under Wine when it and Wine are there. Each with its
# time and its packed output relative to the zlib loop's, its processor time
# and its peak memory; with several rounds (interleaved, so that a passing
# load spreads over all of them) the fastest time and the medians of the
# rest. With --levels it also lists libdeflate's levels against zlib's level
# 9, the measurement the default level is chosen by. Last, --extract of one
# large file (the tree's files joined) against pigz -dc of the same file, when
# pigz is there. Run it on an otherwise
# idle machine: other work in parallel falsifies the times (the processor
# times suffer less).
# Usage: bench/build_throughput.sh [MEGABYTES] [--rounds=N] [--levels]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${QUILLON_BUILD_DIR:-$root/build}
megabytes=320
rounds=1
levels=""
for argument in "$@"; do
    case $argument in
        --levels) levels=yes ;;
        --rounds=*) rounds=${argument#--rounds=} ;;
        *) megabytes=$argument ;;
    esac
done
# Below some 100 MB the small files and the fixed costs outweigh the rest.
[ "$megabytes" -ge 100 ] || { echo "the tree must have at least 100 MB" >&2; exit 2; }
[ "$rounds" -ge 1 ] || { echo "--rounds needs a number of at least 1" >&2; exit 2; }
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
# With the Windows builder everything runs in one Wine session, so that its
# runs share one wineserver and do not pay for Wine's start-up each time.
measure=(python3 -)
[ -z "$windows_builder" ] || measure=(python3 "$root/tests/e2e/wine_session.py" session -- python3 -)
QUILLON_BUILD_DIR=$build exec "${measure[@]}" "$root" "$build" "$corpus" "$work" "$windows_builder" "$rounds" <<'PY'
import os, statistics, struct, subprocess, sys, time

root, build, corpus, work, windows_builder = sys.argv[1:6]
rounds = int(sys.argv[6])
file_list = os.path.join(work, "files")
files = open(file_list).read().splitlines()
size = sum(os.path.getsize(f) for f in files)
processors = len(os.sched_getaffinity(0))


def run(command, stdin=os.devnull):
    """Wall-clock seconds, processor seconds (of the process and of the children
    it waited for), peak memory in MiB and the output of one run."""
    start = time.monotonic()
    with open(stdin) as source:
        process = subprocess.Popen(command, stdin=source,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        with process.stdout:
            output = process.stdout.read().decode(errors="replace")
        _, status, usage = os.wait4(process.pid, 0)
    seconds = time.monotonic() - start
    if status != 0:
        sys.exit(f"{command[0]} failed ({status}): {output}")
    return seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024, output


def packed_streams(sfx):
    """The bytes of the zlib streams in an SFX file, found by its chunk headers.
    Read piece by piece: a child's peak memory, as the system reports it,
    starts from what this process held when it started the child."""
    with open(sfx, "rb") as f:
        def read(offset, fmt):
            f.seek(offset)
            return struct.unpack(fmt, f.read(struct.calcsize(fmt)))
        pe = read(0x3C, "<I")[0]
        sections, optional = read(pe + 6, "<H")[0], read(pe + 20, "<H")[0]
        table = pe + 24 + optional
        start = max(sum(read(table + 40 * i + 16, "<II")) for i in range(sections))
        position, packed = start + 2330, 0
        while True:
            _, name_length, entry_size, dos_time, attributes = read(position, "<BiiII")
            position += 17
            if name_length == 0 and entry_size == 0 and dos_time == 0 and attributes == 0:
                return packed
            position += name_length
            done = 0
            while not attributes & 0x10 and done < entry_size:
                unpacked, length = read(position, "<II")
                position += 8 + length
                packed += length
                done += unpacked
            position += 4


def zlib_loop():
    _, cpu, memory, output = run([os.path.join(build, "bench", "zlib_baseline")], stdin=file_list)
    _, packed, seconds = output.split()
    return float(seconds), cpu, int(packed), None, memory  # the loop times its packing itself


target = os.path.join(work, "bench.exe")


def builder(command):
    def measure():
        seconds, cpu, memory, _ = run(command)
        return seconds, cpu, packed_streams(target), os.path.getsize(target), memory
    return measure


quillon = os.path.join(build, "builder", "cli", "quillon")
runners = [("zlib level-9 loop, 1 thread", zlib_loop)]
for threads in sorted({1, processors}):
    runners.append((f"quillon, {threads} thread{'s' if threads > 1 else ''}",
                    builder([quillon, "-h", "-o", "-c", f"--threads={threads}", corpus, target])))
if windows_builder:
    wine_run = os.path.join(root, "scripts", "wine-run")
    z = lambda path: "Z:" + path.replace("/", "\\")
    tiny = os.path.join(work, "tiny")
    os.makedirs(tiny, exist_ok=True)
    open(os.path.join(tiny, "a.txt"), "w").write("warm-up")
    run([wine_run, windows_builder, "-h", "-o", "-c", z(tiny), z(target)])  # the first start loads Wine
    runners.append((f"quillon.exe under Wine, {processors} threads",
                    builder([wine_run, windows_builder, "-h", "-o", "-c", z(corpus), z(target)])))

samples = {name: [] for name, _ in runners}
for _ in range(rounds):  # interleaved, so that a passing load spreads over every runner
    for name, measure in runners:
        samples[name].append(measure())
# The fastest round's time, which a passing load inflates least, and the
# medians of the rest.
rows = [(name, min(sample[0] for sample in samples[name]),
         *(statistics.median(sample[i] for sample in samples[name]) if samples[name][0][i] is not None
           else None for i in range(1, 5))) for name, _ in runners]
zlib_seconds, zlib_cpu, zlib_packed = rows[0][1:4]

print(f"tree:     {size / 1e6:.1f} MB in {len(files)} files ({corpus})")
print(f"machine:  {processors} processors; " + (f"of {rounds} rounds the fastest wall-clock time and the median "
                                                 f"of the rest\n" if rounds > 1 else "one round\n"))
print(f"{'':34} {'seconds':>8} {'time/zlib-9':>12} {'cpu s':>7} {'cpu/zlib-9':>11} {'packed MB':>10} "
      f"{'size/zlib-9':>12} {'SFX MB':>8} {'peak MiB':>9}")
for name, seconds, cpu, packed, sfx, memory in rows:
    print(f"{name:34} {seconds:8.2f} {seconds / zlib_seconds:12.3f} {cpu:7.2f} {cpu / zlib_cpu:11.3f} "
          f"{packed / 1e6:10.2f} {packed / zlib_packed:12.4f} {sfx / 1e6 if sfx else 0:8.2f} {memory:9.1f}")
one, parallel = rows[1], rows[2] if processors > 1 else rows[1]
print(f"\nquillon on 1 thread: {one[1] / zlib_seconds:.3f} of the zlib-9 loop's time (goal: at most 0.25)")
print(f"quillon on {processors} threads: {parallel[1] / zlib_seconds:.3f} of it (goal: at most 0.12)")
print(f"packed output: {max(row[3] for row in rows[1:]) / zlib_packed:.4f} of the loop's (goal: at most 1)")
if windows_builder:
    print(f"quillon.exe under Wine: {rows[-1][1] / parallel[1]:.2f} times the Linux builder's time on "
          f"{processors} threads (goal: at most 2)")

# --extract of one large file against pigz -dc of the same file, both writing it out.
pigz = subprocess.run(["sh", "-c", "command -v pigz"], capture_output=True, text=True).stdout.strip()
if pigz:
    large = os.path.join(work, "large")
    os.makedirs(large, exist_ok=True)
    joined = os.path.join(large, "large.bin")
    with open(joined, "wb") as out:
        for f in files:
            out.write(open(f, "rb").read())
    large_sfx, gzipped = os.path.join(work, "large.exe"), os.path.join(work, "large.gz")
    run([quillon, "-h", "-o", "-c", large, large_sfx])
    subprocess.run(f'"{pigz}" -9 -c "{joined}" > "{gzipped}"', shell=True, check=True)
    extracted, unpacked = os.path.join(work, "extracted"), os.path.join(work, "unpacked.bin")
    times = {"extract": [], "pigz": []}
    for _ in range(rounds):
        subprocess.run(["rm", "-rf", extracted, unpacked], check=True)
        times["extract"].append(run([quillon, "--extract", large_sfx, extracted])[0])
        times["pigz"].append(run(["sh", "-c", f'"{pigz}" -dc "{gzipped}" > "{unpacked}"'])[0])
    subprocess.run(["rm", "-rf", extracted, unpacked, joined], check=True)
    extract, gunzip = min(times["extract"]), min(times["pigz"])
    print(f"\nquillon --extract of one {size / 1e6:.1f} MB file: {extract:.2f} s, pigz -dc {gunzip:.2f} s: "
          f"{extract / gunzip:.2f} times (goal: at most 1.2)")
PY
