#!/usr/bin/env bash
# Time from process start to the first painted face of Melvane.exe under Wine, five runs.
set -euo pipefail
cd "$(dirname "$0")/.."
report=$(mktemp -d)
trap 'rm -rf "$report"' EXIT
for run in 1 2 3 4 5; do
    xvfb-run -a -s "-nolisten tcp" cmake/wine-run.sh build/windows/bin/Melvane.exe \
        --startup-report "Z:$report/startup.txt" 2>/dev/null
    echo "run $run: $(cat "$report/startup.txt")"
done
