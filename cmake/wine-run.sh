#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine; CTest's emulator for the Windows build.
#
#   cmake/wine-run.sh [--prefix WINEPREFIX] program.exe [argument...]
#
# MELVANE_WINE_DPI (say 144 for 150 %) gives a prefix made now that display scale; Wine reads it
# from LogPixels in the prefix's registry. Keep one prefix per scale.
#
# The arguments reach the program as given (spaces, backslashes, non-ASCII), and the program's
# standard streams and exit status are the caller's. The Wine prefix (default: $MELVANE_WINEPREFIX,
# else build/windows/wineprefix) is created on first use, once, quietly. Without an X display the
# program gets a private one from xvfb-run; `make test` gives the whole run one display instead.
set -euo pipefail

prefix=${MELVANE_WINEPREFIX:-}
if [ "${1:-}" = --prefix ]; then
    [ $# -ge 2 ] || { echo "wine-run: --prefix needs a folder" >&2; exit 2; }
    prefix=$2
    shift 2
fi
[ -n "$prefix" ] || prefix="$(cd "$(dirname "$0")/.." && pwd)/build/windows/wineprefix"
if [ $# -eq 0 ]; then
    echo "usage: wine-run.sh [--prefix WINEPREFIX] program.exe [argument...]" >&2
    exit 2
fi

# Windows starts no program whose command line is longer than 32,767 characters, and Wine says so
# only on a debug channel that WINEDEBUG=-all silences: say it here (a 100,000-character file
# name on the command line would otherwise end with no word at all).
length=0
for argument in "$@"; do
    length=$((length + ${#argument} + 3))  # quotes and the space between
done
if [ "$length" -gt 32767 ]; then
    echo "wine-run: the command line is about $length characters long; Windows takes at most" \
        "32,767, so $(basename "$1") cannot be started with it" >&2
    exit 1
fi

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko install dialogs (nothing here needs them) and no menu entries for the desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# Wine builds the Windows command line from the Unix arguments in the locale's character set;
# under a locale that is not UTF-8 (CI's plain C) non-ASCII arguments would be mangled. Only the
# character set is changed: the language the caller asked for (LANG, LC_ALL) still reaches the
# program, which reads it for its messages.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
    if [ -n "${LC_ALL:-}" ]; then
        export LC_MESSAGES=${LC_MESSAGES:-$LC_ALL} LANG=${LANG:-$LC_ALL}
        unset LC_ALL
    fi
    export LC_CTYPE=C.UTF-8
fi

if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    # A random first display number keeps parallel tests from racing for the same one.
    exec xvfb-run -a -n $((100 + RANDOM % 400)) -s "-nolisten tcp" \
        "$0" --prefix "$prefix" "$@"
fi

# The first start of a prefix takes many seconds and must not run twice at once.
if [ ! -f "$prefix/.ready" ]; then
    mkdir -p "$(dirname "$prefix")"
    exec 9>"$prefix.lock"
    flock 9
    if [ ! -f "$prefix/.ready" ]; then
        # Windows left to the X window manager make every hide or close wait up to two
        # seconds for one that is not there (Xvfb); Wine then manages them itself.
        if ! { wineboot --init && wineserver -w &&
               wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f &&
               { [ -z "${MELVANE_WINE_DPI:-}" ] ||
                 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
                     /d "$MELVANE_WINE_DPI" /f; } &&
               wineserver -w; } >"$prefix.log" 2>&1; then
            cat "$prefix.log" >&2
            echo "wine-run: could not create the Wine prefix" >&2
            exit 125
        fi
        touch "$prefix/.ready"
    fi
    flock -u 9
    exec 9>&-
fi

# Debian's wineserver quits the moment its last program ends, and starting it again with Wine's
# services costs a second or two per program. Kept alive a few seconds, it serves a whole run of
# tests; it leaves no stream of the caller open. Fails harmlessly when one is running already.
wineserver -p5 </dev/null >/dev/null 2>&1 || true

exec wine "$@"
