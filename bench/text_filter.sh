#!/usr/bin/env bash
# melvane-cli --text as a whole process on a 2 MB song sheet (examples/lullaby.txt repeated):
# CPU and wall time per run, sheet-aware and classic, and the start-up alone (empty input).
# REFERENCE='command' adds another program doing the same job: it reads the sheet on standard
# input and writes the transposed sheet to standard output (run by the shell, your own set-up;
# nothing is installed here). The line after it says how many times faster melvane-cli is.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${CLI:-build/linux/bin/melvane-cli}
runs=${RUNS:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sheet="$work/sheet.txt"
: >"$sheet"
while [ "$(stat -c %s "$sheet")" -lt 2097152 ]; do cat examples/lullaby.txt >>"$sheet"; done
python3 - "$cli" "$sheet" "$runs" "${REFERENCE:-}" <<'PY'
import resource, subprocess, sys, time
cli, sheet, runs, reference = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
size = __import__("os").path.getsize(sheet)
def measure(label, args, source, shell=False):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    for _ in range(runs):
        with open(source, "rb") as stdin:
            subprocess.run(args if shell else [cli] + args, stdin=stdin,
                           stdout=subprocess.DEVNULL, check=True, shell=shell)
    wall = (time.perf_counter() - start) / runs
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) / runs
    rate = size / cpu / 1e6 if source == sheet else 0
    print(f"{label:28} cpu {cpu * 1000:7.1f} ms  wall {wall * 1000:7.1f} ms"
          + (f"  {rate:6.1f} MB/s" if rate else ""))
    return wall
measure("start-up (empty input)", ["--text", "--steps", "2"], "/dev/null")
ours = measure(f"sheet-aware, {size} bytes", ["--text", "--steps", "2", "--lang", "de"], sheet)
measure(f"classic, {size} bytes", ["--text", "--classic", "--steps", "2"], sheet)
if reference:
    theirs = measure("REFERENCE, same sheet", reference, sheet, shell=True)
    print(f"melvane-cli --text is {theirs / ours:.1f}x faster (wall time, whole process)")
else:
    print("no REFERENCE command given: no comparison with another program")
PY
