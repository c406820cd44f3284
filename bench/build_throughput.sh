#!/usr/bin/env bash
# Build throughput of the Linux builder on a generated mixed corpus (>= 200 MB),
# as a ratio to a plain single-threaded zlib level-9 loop over the same 9 MiB
# chunks, and the builder's peak memory. Usage: bench/build_throughput.sh [MB]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${QUILLON_BUILD_DIR:-$root/build}
megabytes=${1:-200}
work=${QUILLON_BENCH_DIR:-/tmp/quillon-bench}
corpus=$work/corpus-$megabytes

cmake --build "$build" --target quillon zlib_baseline -j2 >/dev/null
if [ ! -d "$corpus" ]; then
    mkdir -p "$corpus.tmp" && python3 "$here/make_corpus.py" "$corpus.tmp" "$megabytes" >/dev/null
    mv "$corpus.tmp" "$corpus"
fi
mapfile -t files < <(cd "$corpus" && find . -type f | LC_ALL=C sort | sed "s|^\.|$corpus|")
bytes=$(cat "${files[@]}" | wc -c)
cat "${files[@]}" >/dev/null  # warm the page cache for both runs

read -r _ _ baseline < <("$build/bench/zlib_baseline" "${files[@]}")
start=$(date +%s.%N)
/usr/bin/time -f "%M" -o "$work/rss" "$build/builder/cli/quillon" -h -o -c "$corpus" "$work/bench.exe"
end=$(date +%s.%N)
python3 - "$bytes" "$baseline" "$start" "$end" "$(cat "$work/rss")" "$(stat -c %s "$work/bench.exe")" <<'PY'
import sys
size, base, start, end, rss_kb, out = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4]), int(sys.argv[5]), int(sys.argv[6])
mb = size / 1e6
builder = end - start
print(f"corpus:            {mb:.1f} MB")
print(f"zlib level-9 loop: {mb / base:.2f} MB/s ({base:.2f} s)")
print(f"quillon build:     {mb / builder:.2f} MB/s ({builder:.2f} s), SFX {out / 1e6:.1f} MB")
print(f"ratio:             {base / builder:.3f} of the zlib loop's throughput")
print(f"peak memory:       {rss_kb / 1024:.1f} MiB")
PY
