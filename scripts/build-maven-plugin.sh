#!/usr/bin/env bash
# Builds the karvo Maven plugin and installs it into the project's local Maven repository
# (build/maven/repo), after the templates, the packer and the runtime jar are built.
# The plugin's sources (maven/) are copied to build/maven/plugin, together with what is
# generated from the launcher's build: the key table as Java source (karvo-java-keys), both
# templates and the runtime jar as resources. Nothing is run when no input changed.
#   build-maven-plugin.sh            build and install (tests are run by scripts/maven-test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=${NATIVE:-build/native}
out=build/maven
version=$(tr -d ' \r\n' < VERSION)

for file in "$native/karvo-java-keys" build/win/karvo-service.exe build/win64/karvo-service.exe \
            build/java/karvo-runtime.jar; do
  if [ ! -f "$file" ]; then
    echo "build-maven-plugin: $file is missing; run make build (it builds it first)" >&2
    exit 1
  fi
done

# Generated files keep their time stamps while their content stays the same, so that Maven
# recompiles and repacks only what changed.
put() {  # put SOURCE TARGET: copies when the content differs
  mkdir -p "$(dirname "$2")"
  cmp -s "$1" "$2" 2>/dev/null || cp "$1" "$2"
}
mkdir -p "$out/generated"
"$native/karvo-java-keys" karvo.pack > "$out/generated/KeyTable.java.new"
put "$out/generated/KeyTable.java.new" "$out/generated/KeyTable.java"
sed "0,/<version>0-SNAPSHOT<\/version>/s//<version>$version<\/version>/" maven/pom.xml \
  > "$out/generated/pom.xml.new"
put "$out/generated/pom.xml.new" "$out/generated/pom.xml"

plugin=$out/plugin
rm -rf "$plugin/src"
mkdir -p "$plugin"
cp -a maven/src "$plugin/"
cp -p "$out/generated/pom.xml" "$plugin/pom.xml"
cp -p "$out/generated/KeyTable.java" "$plugin/src/main/java/karvo/pack/KeyTable.java"
resources=$plugin/src/main/resources/karvo
mkdir -p "$resources/templates/win32" "$resources/templates/win64" "$resources/runtime"
cp -p build/win/karvo-service.exe "$resources/templates/win32/karvo-service.exe"
cp -p build/win64/karvo-service.exe "$resources/templates/win64/karvo-service.exe"
cp -p build/java/karvo-runtime.jar build/java/tslruntime.jar "$resources/runtime/"

stamp=$out/plugin-inputs.sha256
current=$( (cd "$plugin" && find pom.xml src -type f | LC_ALL=C sort | xargs sha256sum) | sha256sum)
installed=$out/repo/karvo/karvo-maven-plugin/$version/karvo-maven-plugin-$version.jar
if [ -f "$installed" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$current" ]; then
  exit 0
fi
echo "== karvo Maven plugin $version"
timeout 900 scripts/mvn-offline -q -f "$root/$plugin/pom.xml" install -DskipTests -Dinvoker.skip=true
echo "$current" > "$stamp"
echo "installed karvo:karvo-maven-plugin:$version into $out/repo"
