#!/usr/bin/env bash
# melvane-cli --text as a whole process on a 2 MB song sheet (examples/lullaby.txt repeated):
# CPU and wall time per run, sheet-aware and classic, and the start-up alone (empty input).
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${CLI:-build/linux/bin/melvane-cli}
runs=${RUNS:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sheet="$work/sheet.txt"
: >"$sheet"
while [ "$(stat -c %s "$sheet")" -lt 2097152 ]; do cat examples/lullaby.txt >>"$sheet"; done
python3 - "$cli" "$sheet" "$runs" <<'PY'
import resource, subprocess, sys, time
cli, sheet, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
size = __import__("os").path.getsize(sheet)
def measure(label, args, source):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    for _ in range(runs):
        with open(source, "rb") as stdin:
            subprocess.run([cli] + args, stdin=stdin, stdout=subprocess.DEVNULL, check=True)
    wall = (time.perf_counter() - start) / runs
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) / runs
    rate = size / cpu / 1e6 if source == sheet else 0
    print(f"{label:28} cpu {cpu * 1000:7.1f} ms  wall {wall * 1000:7.1f} ms"
          + (f"  {rate:6.1f} MB/s" if rate else ""))
measure("start-up (empty input)", ["--text", "--steps", "2"], "/dev/null")
measure(f"sheet-aware, {size} bytes", ["--text", "--steps", "2", "--lang", "de"], sheet)
measure(f"classic, {size} bytes", ["--text", "--classic", "--steps", "2"], sheet)
PY
