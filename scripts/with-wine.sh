#!/usr/bin/env bash
# Runs a command inside a fresh Wine prefix with a persistent wineserver, and shuts that
# wineserver down however the command ends.
#   with-wine.sh [--arch=win32|win64] PREFIX_DIR PROBE_EXE TIME_LIMIT_SECONDS command [args...]
# win32 (the default) makes a 32-bit prefix for the 32-bit build; win64 a 64-bit prefix for
# the 64-bit build. Give each architecture its own PREFIX_DIR: a prefix keeps its first one.
set -uo pipefail
arch=win32
case "${1:-}" in
  --arch=win32|--arch=win64) arch=${1#--arch=}; shift ;;
  --arch=*) echo "with-wine: unknown architecture ${1#--arch=} (win32 or win64)" >&2; exit 2 ;;
esac
prefix=$1 probe=$2 limit=$3; shift 3
bits=32; [ "$arch" = win64 ] && bits=64

. "$(dirname "$0")/lib/width32.sh"

# Exit code 77 says "code of this width cannot run on this machine", not "failed"; every
# caller (the tests, the demo, the archive test, the bench) skips that width on it. Three
# things mean it, each said in one line: Wine's 32-bit loader is not installed, the kernel
# refuses 32-bit programs, or the 32-bit probe says nothing in a prefix that was made
# correctly (checked below, after the prefix exists).
# KARVO_SKIP_NOTE names a file that receives the reason, for a caller's summary.
cannot_run() {
  echo "wine: $*: $bits-bit Windows code cannot run on this machine, skipped" >&2
  [ -n "${KARVO_SKIP_NOTE:-}" ] && echo "$*" >"$KARVO_SKIP_NOTE"
  exit 77
}
if [ "$arch" = win32 ]; then
  runs_32bit_programs || cannot_run "this machine's kernel runs no 32-bit programs"
  wine32_installed || cannot_run "Wine's 32-bit loader (package wine32:i386) is not installed"
fi

# The plain `wine` command starts the 32-bit loader first when it is installed; where the
# kernel then refuses it, a 64-bit prefix is driven by the 64-bit loader alone, through a
# `wine` of our own ahead on PATH.
if ! wine --version >/dev/null 2>&1; then
  loader=$(command -v wine64 || echo /usr/lib/wine/wine64)
  if ! "$loader" --version >/dev/null 2>&1; then
    echo "wine: neither the 32-bit nor the 64-bit Wine loader runs here" >&2
    exit 1
  fi
  shim=$(realpath -m "$prefix")-bin
  mkdir -p "$shim"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec "%s" "$@"\n' "$loader" > "$shim/$name"
    chmod +x "$shim/$name"
  done
  export PATH="$shim:$PATH" WINELOADER=$loader
fi

export WINEPREFIX=$(realpath -m "$prefix")
export WINEARCH=$arch
export WINEDEBUG=${KARVO_WINEDEBUG:--all}  # KARVO_WINEDEBUG=err+all shows Wine's own errors
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  timeout 20 wineserver -w >/dev/null 2>&1 || true
}
trap cleanup EXIT

rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
echo "wine: creating $arch prefix $WINEPREFIX"
timeout 180 wineboot -i </dev/null >/dev/null 2>&1
timeout 60 wineserver -w
# Wine's service manager gives its services the system environment as it was when the
# manager started, so variables meant for services must be in the registry before that:
#   WINE_SYSTEM_ENV="KARVO_LOG=yes" with-wine.sh ...   (every process of the run sees them)
if [ -n "${WINE_SYSTEM_ENV:-}" ]; then
  for assignment in $WINE_SYSTEM_ENV; do
    timeout 60 wine reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' \
      /v "${assignment%%=*}" /d "${assignment#*=}" /f </dev/null >/dev/null 2>&1
  done
  timeout 60 wineserver -w
fi
# Persistent server: services must outlive the short-lived wine processes of the tests.
wineserver -p
# Start the background services with stdio detached, so that no pipe reader waits on them.
timeout 60 wine cmd /c exit </dev/null >/dev/null 2>&1

# A Wine that cannot run the probe's width (wine64 alone runs no PE32 code; a 32-bit
# prefix runs no PE32+) says nothing and exits 0: make sure code of this width really runs.
probe_once() { timeout 60 wine "$probe" </dev/null 2>/dev/null | tr -d '\r'; }
out=$(probe_once)
# A prefix that has only just booted now and then misses the first run on a loaded machine:
# one more try tells such a hiccup from a fault.
if [ "$out" != "wine-probe ok $bits-bit" ]; then
  sleep 2
  out=$(probe_once)
fi
if [ "$out" != "wine-probe ok $bits-bit" ]; then
  # Silence from a 32-bit probe in a prefix that was made correctly is this machine's Wine
  # running no 32-bit code; anything else (a wrong answer, a broken prefix, a 64-bit probe
  # that says nothing) is a fault to look into.
  if [ "$arch" = win32 ] && [ -z "$out" ] && [ -f "$WINEPREFIX/system.reg" ] &&
     [ -d "$WINEPREFIX/drive_c/windows/system32" ]; then
    cannot_run "the 32-bit probe printed nothing in a working prefix: this Wine runs no 32-bit code"
  fi
  echo "wine: the $bits-bit probe did not run (got '$out'); refusing to trust Windows tests" >&2
  exit 1
fi

timeout --kill-after=10 "$limit" "$@"
rc=$?
[ $rc -eq 124 ] && echo "wine: time limit of ${limit}s reached" >&2
exit $rc
