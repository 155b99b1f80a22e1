#!/usr/bin/env bash
# Runs a command inside a fresh 32-bit Wine prefix with a persistent wineserver,
# and shuts that wineserver down however the command ends.
#   with-wine.sh PREFIX_DIR PROBE_EXE TIME_LIMIT_SECONDS command [args...]
set -uo pipefail
prefix=$1 probe=$2 limit=$3; shift 3

export WINEPREFIX=$(realpath -m "$prefix")
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  timeout 20 wineserver -w >/dev/null 2>&1 || true
}
trap cleanup EXIT

rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
echo "wine: creating prefix $WINEPREFIX"
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

# wine64 alone runs no PE32 code and says nothing: make sure 32-bit code really runs.
out=$(timeout 60 wine "$probe" </dev/null 2>/dev/null | tr -d '\r')
if [ "$out" != "wine-probe ok" ]; then
  echo "wine: the 32-bit probe did not run (got '$out'); refusing to trust Windows tests" >&2
  exit 1
fi

timeout --kill-after=10 "$limit" "$@"
rc=$?
[ $rc -eq 124 ] && echo "wine: time limit of ${limit}s reached" >&2
exit $rc
