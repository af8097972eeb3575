#!/bin/sh
# Runs a Windows program under wine64 in a wine prefix of the project's own
# (WINEPREFIX, default /var/cache/linsvm_image/wine), made on first use; the
# environment passes through to the program (MEX_KERNELS_BASELINE included).
# Usage: wine_run.sh PROGRAM.exe [ARGUMENTS...]
#        wine_run.sh --stop     ends the prefix's wine server
set -eu

WINEPREFIX=${WINEPREFIX:-/var/cache/linsvm_image/wine}
WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko download prompts: console programs need neither.
WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

if [ "${1:-}" = --stop ]; then
    "$wineserver" -k 2>/dev/null || true
    exit 0
fi

mkdir -p "$(dirname "$WINEPREFIX")"
# Under one lock (released before anything else runs: -o): the prefix is made
# on first use, and a wine server is started that outlives each program by
# two minutes, since with the default short wait a program started just as
# the server shuts down fails to connect ("wine client error ... Connection
# reset by peer"). The server then keeps wine's own background processes
# alive too, so they are started here, away from the program's output: else
# they would hold a test's output pipe open and ctest would wait for it.
flock -o "$WINEPREFIX.lock" sh -c '
    wine=$1 wineserver=$2
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$wine" wineboot --init && "$wineserver" -w || exit 1
    fi
    if "$wineserver" -p 120; then
        "$wine" wineboot
    fi' _ "$wine" "$wineserver" </dev/null >/dev/null 2>&1
exec "$wine" "$@"
