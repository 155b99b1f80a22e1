#!/usr/bin/env bash
# with-wine.sh's rule for "this width cannot run here", on stand-in Wine commands: one row per
# machine, whether the command runs (0), the width is skipped (77) or the run fails (1), and
# the words its line must hold.
set -uo pipefail
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The script under test beside a width library whose answers each row sets.
mkdir -p "$work/scripts/lib" "$work/bin"
cp "$scripts/with-wine.sh" "$work/scripts/"
cat >"$work/scripts/lib/width32.sh" <<'EOF'
runs_32bit_programs() { [ "$ROW_KERNEL32" = yes ]; }
wine32_installed() { [ "$ROW_WINE32" = yes ]; }
EOF
# Stand-in Wine: wineboot makes (or fails to make) a prefix, wine runs the probe by printing
# the row's answer.
cat >"$work/bin/wineboot" <<'EOF'
#!/bin/sh
[ "$ROW_PREFIX" = good ] && mkdir -p "$WINEPREFIX/drive_c/windows/system32" && : >"$WINEPREFIX/system.reg"
exit 0
EOF
cat >"$work/bin/wine" <<'EOF'
#!/bin/sh
case "$1" in --version) echo wine-8.0 ;; *.exe) printf '%s' "$ROW_PROBE" ;; esac
exit 0
EOF
printf '#!/bin/sh\nexit 0\n' >"$work/bin/wineserver"
chmod +x "$work/bin/"*

# name | arch | 32-bit programs run | wine32 installed | prefix | probe's answer | exit code | words
rows=(
  "kernel refuses 32-bit|win32|no|yes|good||77|kernel runs no 32-bit programs"
  "wine32 not installed|win32|yes|no|good||77|wine32:i386) is not installed"
  "silent 32-bit probe in a good prefix|win32|yes|yes|good||77|printed nothing in a working prefix"
  "silent 32-bit probe in a broken prefix|win32|yes|yes|broken||1|did not run"
  "wrong answer from the 32-bit probe|win32|yes|yes|good|wine-probe ok 64-bit|1|did not run"
  "32-bit probe answers|win32|yes|yes|good|wine-probe ok 32-bit|0|"
  "silent 64-bit probe|win64|no|no|good||1|did not run"
  "64-bit probe answers without 32-bit support|win64|no|no|good|wine-probe ok 64-bit|0|"
)
failures=0
for row in "${rows[@]}"; do
  IFS='|' read -r name arch ROW_KERNEL32 ROW_WINE32 ROW_PREFIX ROW_PROBE expected words <<<"$row"
  export ROW_KERNEL32 ROW_WINE32 ROW_PREFIX ROW_PROBE
  output=$(PATH="$work/bin:$PATH" bash "$work/scripts/with-wine.sh" --arch=$arch "$work/prefix" \
    probe.exe 20 echo command-ran 2>&1)
  code=$?
  ok=yes
  [ "$code" = "$expected" ] || ok=no
  [ -z "$words" ] || [[ "$output" == *"$words"* ]] || ok=no
  [ "$expected" != 0 ] || [[ "$output" == *command-ran* ]] || ok=no
  [ "$expected" = 0 ] || [[ "$output" != *command-ran* ]] || ok=no
  if [ $ok = no ]; then
    echo "FAIL $name: exit code $code (expected $expected), output: $output"
    failures=$((failures + 1))
  fi
done
[ $failures -eq 0 ] && echo "with-wine width rule: every row as expected"
exit $((failures > 0))
