#!/usr/bin/env bash
# Time from process start to the first painted face of Melvane.exe under Wine, five runs.
#   bench/window_startup.sh [DPI]    96 (100 %, the default), 120, 144 (150 %) or 192
# Each DPI has a Wine prefix of its own, made with that display scale.
set -euo pipefail
cd "$(dirname "$0")/.."
dpi=${1:-96}
prefix=build/windows/wineprefix
[ "$dpi" = 96 ] || prefix=build/windows/wineprefix-$dpi
report=$(mktemp -d)
trap 'rm -rf "$report"' EXIT
echo "Melvane.exe at $dpi DPI ($((dpi * 100 / 96)) %):"
for run in 1 2 3 4 5; do
    MELVANE_WINE_DPI=$dpi xvfb-run -a -s "-nolisten tcp" cmake/wine-run.sh --prefix "$PWD/$prefix" \
        build/windows/bin/Melvane.exe --startup-report "Z:$report/startup.txt" 2>/dev/null
    echo "run $run: $(cat "$report/startup.txt")"
done
