#!/usr/bin/env bash
# Tests the Maven plugin (after make build, which builds and installs it):
#  1. its unit tests and the conformance corpus (every description of tests/pack-conformance
#     through karvo-pack and through the plugin's writer: the same bytes, or the same refusal);
#  2. the sample projects under the invoker: a copy of examples/maven, built with
#     `mvn package` against a stand-in Java runtime, and a POM with a bad setting, which must
#     fail naming the POM element and what to write;
#  3. the example's output: the directory and the zip, the executable read back with
#     karvo-pack inspect, and the 64-bit service's whole life under Wine.
#   maven-test.sh              all of it
#   maven-test.sh --steps      (inside with-wine.sh) the service cycle alone
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=${NATIVE:-build/native}
plugin=build/maven/plugin
work=$root/build/maven/test
service=HelloService
failures=()
fail() { failures+=("$*"); echo "maven-test: FAILED: $*" >&2; }

# The life of the service, one step a line: the command word and the exit code it must end with.
steps=("/install 0" "/status 3" "/start 0" "@program 0" "/status 0" "/stop 0" "@shutdown 0" "/status 3"
       "/uninstall 0")

run_steps() {
  local word expected code waited log=$work/step.log
  for step in "${steps[@]}"; do
    read -r word expected <<<"$step"
    if [ "$word" = "@program" ]; then
      waited=0
      until grep -q '^param count:' "$record" 2>/dev/null; do
        [ $waited -ge 300 ] && { echo "the program was not started within 30 s"; return 1; }
        sleep 0.1
        waited=$((waited + 1))
      done
      grep -qx 'param: com.example.hello.HelloService' "$record" ||
        { echo "the program was not given its main class:"; cat "$record"; return 1; }
      continue
    fi
    if [ "$word" = "@shutdown" ]; then
      grep -qx 'stdin: 0' "$record" || { echo "the program did not read the shutdown code"; return 1; }
      continue
    fi
    timeout 60 wine "$exe" "$word" </dev/null >"$log" 2>&1
    code=$?
    echo "$service.exe $word: exit code $code"
    if [ "$code" != "$expected" ]; then
      tr -d '\r' <"$log"
      echo "expected exit code $expected"
      [ "$word" = /uninstall ] || timeout 60 wine "$exe" /uninstall </dev/null >/dev/null 2>&1
      return 1
    fi
  done
}

if [ "${1:-}" = --steps ]; then
  run_steps
  exit
fi

started=$SECONDS
for file in "$native/karvo-pack" build/win64/fixtures/fakejava/java.exe build/win64/fixtures/fakejvm/jvm.dll \
            "$plugin/pom.xml"; do
  [ -f "$file" ] || { echo "maven-test: $file is missing; run make build first" >&2; exit 1; }
done
rm -rf "$work"
mkdir -p "$work/projects"

# The stand-in runtime the example ships in jre/: a java.exe that answers -version and a
# jvm.dll that writes down what it was given.
record=$work/program-received.txt
runtime=$work/runtime
mkdir -p "$runtime/bin/client"
cp build/win64/fixtures/fakejava/java.exe "$runtime/bin/java.exe"
cp build/win64/fixtures/fakejvm/jvm.dll "$runtime/bin/client/jvm.dll"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
printf 'script=wait-stdin\nrecord=%s\n' "$(windows_path "$record")" > "$runtime/bin/client/fakejvm.ini"

# The example names the plugin by version: it must be the one this tree builds.
version=$(tr -d ' \r\n' < VERSION)
grep -q "<version>$version</version>" examples/maven/pom.xml ||
  fail "examples/maven/pom.xml does not use the plugin version $version (VERSION)"
cp -a examples/maven "$work/projects/hello-service"
cp -a maven/src/it/. "$work/projects/"

echo "== Maven plugin: unit tests, conformance corpus, sample projects"
timeout 1200 scripts/mvn-offline -q -f "$root/$plugin/pom.xml" verify \
  -Dkarvo.corpus="$root/tests/pack-conformance" -Dkarvo.packer="$root/$native/karvo-pack" \
  -Dkarvo.templates="$root/$plugin/src/main/resources/karvo/templates" \
  -Dkarvo.runtimeJar="$root/build/java/karvo-runtime.jar" \
  -Dkarvo.it.projects="$work/projects" -Dkarvo.it.settings="$root/maven/offline/settings.xml" \
  -Dkarvo.it.repository="$root/build/maven/repo" -Dkarvo.it.runtime="$runtime" ||
  { echo "maven-test: the plugin's tests or sample projects failed (reports: $plugin/target/surefire-reports," \
      "$plugin/target/it/*/build.log)" >&2; exit 1; }

it=$plugin/target/it
bad_log=$it/bad-setting/build.log
for expected in '<minJavaVersion> in the POM' 'write "1.7" or later'; do
  grep -qF "$expected" "$bad_log" 2>/dev/null || fail "the bad setting's build did not say: $expected"
done

echo "== the example's service"
out=$it/hello-service/target
dir=$out/karvo/$service
exe=$dir/$service.exe
for file in "$exe" "$dir/lib/hello-service-1.0.jar" "$dir/lib/commons-lang3-3.12.0.jar" "$dir/lib/karvo-runtime.jar" \
            "$dir/jre/bin/client/jvm.dll"; do
  [ -f "$file" ] || fail "missing ${file#$root/}"
done
zip=$out/hello-service-1.0-windows-service.zip
listing=$(unzip -Z1 "$zip" 2>/dev/null)
for entry in "$service/$service.exe" "$service/lib/commons-lang3-3.12.0.jar" "$service/jre/bin/java.exe"; do
  grep -qxF "$entry" <<<"$listing" || fail "the zip lacks $entry"
done

# What the POM configured, as inspect prints it back.
inspected=$("$native/karvo-pack" inspect "$exe" 2>&1) || fail "karvo-pack inspect refused the executable: $inspected"
expected_lines=(
  "service_name = 'HelloService'"
  "main_class = 'com.example.hello.HelloService'"
  "vm_arguments = '-Xmx64m \"-Dhello.greeting=hello from karvo\"'"
  "min_java_version = '11'"
  "stop_timeout = 20"
  "restart = 'on-failure'"
  "service_account = 'NT AUTHORITY\\LocalService'"
  "output_keep = 3"
)
for line in "${expected_lines[@]}"; do
  grep -qxF "$line" <<<"$inspected" || fail "inspect does not show: $line"
done
[ "$(grep -A1 '^jre_search_sequence = \[' <<<"$inspected" | tail -n 1)" = "    '.\\jre'," ] ||
  fail "the bundled runtime is not searched first"
grep -qxF "    'lib\\commons-lang3-3.12.0.jar'," <<<"$inspected" || fail "the dependency is not on the class path"

if [ -f "$exe" ]; then
  echo "== the example's service under Wine (64-bit)"
  export exe record
  scripts/with-wine.sh --arch=win64 build/wine-maven-prefix64 build/win64/wine-probe.exe 600 \
    bash "$0" --steps || fail "the service cycle under Wine"
fi

echo "maven-test: $((SECONDS - started)) s"
if [ ${#failures[@]} -gt 0 ]; then
  printf 'maven-test: %s\n' "${failures[@]}" >&2
  exit 1
fi
echo "maven-test: the plugin, the corpus and the example service passed"
