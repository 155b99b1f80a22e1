#!/usr/bin/env bash
# The demo: packs examples/demo-service.toml into a configured executable and drives it
# through the Service Control Manager of a fresh Wine prefix, printing every command and
# what it answered.
#   demo.sh                       (after make build)
# NATIVE, WIN, DEMO_DIR and DEMO_PREFIX override the build directories, where the demo
# service is written, and the prefix.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=${NATIVE:-build/native}
win=${WIN:-build/win}
prefix=${DEMO_PREFIX:-build/wine-demo-prefix}
demo_dir=$(realpath -m "${DEMO_DIR:-build/demo}")
exe=$demo_dir/karvo-demo.exe

# The service's life, one step a line: the command word and the exit code it must end with.
# /status answers 0 for a running service and 3 for one that is not running.
steps=(
  "/install 0"
  "/status 3"
  "/uninstall 0"
)

# Runs inside the Wine prefix: every step in order, even after a failed one, so that the
# service is uninstalled whatever happened before.
run_steps() {
  local failures=() step word expected code log
  log=$(mktemp)
  for step in "${steps[@]}"; do
    read -r word expected <<<"$step"
    echo "\$ karvo-demo.exe $word"
    # Output goes to a file, not a pipe: a Windows process that outlives the command must
    # not hold the demo up.
    timeout 60 wine "$exe" "$word" </dev/null >"$log" 2>&1
    code=$?
    tr -d '\r' <"$log"
    echo "  (exit code $code)"
    [ "$code" = "$expected" ] || failures+=("$word ended with exit code $code, expected $expected")
  done
  rm -f "$log"
  if [ ${#failures[@]} -gt 0 ]; then
    printf 'demo: %s\n' "${failures[@]}" >&2
    return 1
  fi
  echo "demo: every step ended as expected"
}

if [ "${1:-}" = "--steps" ]; then
  run_steps
  exit
fi

for file in "$native/karvo-pack" "$win/karvo-service.exe" "$win/wine-probe.exe"; do
  if [ ! -f "$file" ]; then
    echo "demo: $file is missing; run make build first" >&2
    exit 1
  fi
done

rm -rf "$demo_dir"
mkdir -p "$demo_dir"
echo "== packing the demo service"
echo "\$ karvo-pack build examples/demo-service.toml --template $win/karvo-service.exe --out ${exe#$root/}"
"$native/karvo-pack" build examples/demo-service.toml --template "$win/karvo-service.exe" \
  --out "$exe" || exit 1
echo "\$ karvo-pack inspect ${exe#$root/}"
"$native/karvo-pack" inspect "$exe" || exit 1

echo "== the service under Wine"
export exe
scripts/with-wine.sh "$prefix" "$win/wine-probe.exe" 600 bash "$0" --steps
