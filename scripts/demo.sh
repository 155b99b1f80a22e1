#!/usr/bin/env bash
# The demo: packs examples/demo-service.toml into a configured executable and drives it
# through the Service Control Manager of a fresh Wine prefix, printing every command and
# what it answered.
#   demo.sh                       (after make build)
# NATIVE, WIN, DEMO_DIR and DEMO_PREFIX override the build directories, where the demo
# service is written, and the prefix; DEMO_ARCH=win64 (with WIN=build/win64) runs the 64-bit
# build in a 64-bit prefix, as `make demo64` does.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=${NATIVE:-build/native}
win=${WIN:-build/win}
prefix=${DEMO_PREFIX:-build/wine-demo-prefix}
arch=${DEMO_ARCH:-win32}
demo_dir=$(realpath -m "${DEMO_DIR:-build/demo}")
# DEMO_EXE drives another configured executable (the archive test's quick-start service).
exe=${DEMO_EXE:-$demo_dir/karvo-demo.exe}

# The service's life, one step a line: the command word and the exit code it must end with.
# /status answers 0 for a running service and 3 for one that is not running. "@program"
# waits for the Java program to be started and shows what it was given; "@shutdown" shows
# what the program read on its standard input when the service was stopped.
steps=(
  "/install 0"
  "/status 3"
  "/start 0"
  "@program 0"
  "/status 0"
  "/stop 0"
  "@shutdown 0"
  "/status 3"
  "/uninstall 0"
)

# No Windows Java runtime exists here: the demo service finds the test stand-ins instead,
# a java.exe that answers "-version" and a jvm.dll that writes down the options and
# parameters it receives (one "key: value" line each) and, like the real runtime class,
# waits for the shutdown code on its standard input.
record=$demo_dir/program-received.txt

# Waits (at most 30 s) until the program has been called, then shows its view.
show_program() {
  local waited=0
  until grep -q '^param count:' "$record" 2>/dev/null; do
    if [ $waited -ge 300 ]; then
      echo "  the program was not started within 30 s"
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  echo "  VM options:"
  sed -n 's/^option: /    /p' "$record" | sed 's/\\\\/\\/g'
  echo "  runtime class and main:"
  sed -n 's/^call: /    /p' "$record"
  echo "  parameters of main:"
  sed -n 's/^param: /    /p' "$record" | sed 's/\\\\/\\/g'
}

# Runs inside the Wine prefix: every step in order, even after a failed one, so that the
# service is uninstalled whatever happened before.
run_steps() {
  local failures=() step word expected code log
  log=$(mktemp)
  for step in "${steps[@]}"; do
    read -r word expected <<<"$step"
    if [ "$word" = "@program" ]; then
      echo "# what the Java program received"
      show_program || failures+=("the program did not start")
      continue
    fi
    if [ "$word" = "@shutdown" ]; then
      echo "# what the Java program read on its standard input"
      sed -n 's/^stdin: /  shutdown code: /p; s/^DestroyJavaVM: called/  then the VM was destroyed/p' "$record"
      grep -q '^stdin: 0$' "$record" || failures+=("the program did not read the shutdown code")
      continue
    fi
    echo "\$ $(basename "$exe") $word"
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

echo "== a stand-in Java runtime of the launcher's width in ${demo_dir#$root/}/jre"
mkdir -p "$demo_dir/jre/bin/client"
cp "$win/fixtures/fakejava/java.exe" "$demo_dir/jre/bin/java.exe" || exit 1
cp "$win/fixtures/fakejvm/jvm.dll" "$demo_dir/jre/bin/client/jvm.dll" || exit 1
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
printf 'script=wait-stdin\nrecord=%s\n' "$(windows_path "$record")" \
  >"$demo_dir/jre/bin/client/fakejvm.ini"

echo "== the service under Wine"
export exe record
# The service finds the runtime through the first entry of its search sequence, the jre
# folder beside the executable.
scripts/with-wine.sh --arch="$arch" "$prefix" "$win/wine-probe.exe" 600 bash "$0" --steps
rc=$?
# 77: this machine cannot run programs of this width (with-wine.sh said why); the other
# build's demo still runs.
if [ $rc -eq 77 ]; then
  echo "demo: the ${arch#win}-bit cycle was skipped: this machine cannot run it"
  exit 0
fi
exit $rc
