#!/usr/bin/env bash
# Tests a release archive as a user meets it: unpacks it into an empty directory, checks
# SHA256SUMS and the versions, packs the example service with the packer and template from
# the archive, and runs the service's whole life under Wine (install, start, the program's
# start and its shutdown code, stop, uninstall).
#   dist-test.sh [ARCHIVE]      (default: dist/karvo-<VERSION>.zip)
# Only the Java runtime comes from outside the archive: no Windows runtime exists here, so
# the service finds the test stand-ins (build/win/fixtures) in a jre folder beside it.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# The service runs with the 32-bit template where 32-bit Windows code runs, else the 64-bit one.
. scripts/lib/width32.sh
if runs_32bit_programs && wine32_installed; then width=win32 win=build/win; else width=win64 win=build/win64; fi
win=${WIN:-$win}
version=$(head -n 1 VERSION)
archive=$(realpath -m "${1:-dist/karvo-$version.zip}")
work=$(realpath -m build/dist-test)
prefix=build/wine-dist-prefix-$width

fail() {
  echo "dist-test: $*" >&2
  exit 1
}

[ -f "$archive" ] || fail "$archive is missing; run make dist"
rm -rf "$work"
mkdir -p "$work/unpacked"
case $archive in
  *.zip) unzip -q "$archive" -d "$work/unpacked" ;;
  *.tar.gz) tar -xzf "$archive" -C "$work/unpacked" ;;
  *) fail "unknown archive kind: $archive" ;;
esac || fail "cannot unpack $archive"
release=$work/unpacked/karvo-$version
[ -d "$release" ] || fail "the archive holds no karvo-$version folder"

echo "== contents and checksums"
(cd "$release" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
listed=$(cd "$release" && find . -type f ! -name SHA256SUMS | wc -l)
[ "$listed" = "$(wc -l <"$release/SHA256SUMS")" ] || fail "SHA256SUMS does not list every file"
for file in templates/win32/karvo-service.exe bin/linux-x86_64/karvo-pack bin/windows/karvo-pack.exe \
            runtime/karvo-runtime.jar runtime/tslruntime.jar README.md docs/configuration.md \
            docs/architecture.md docs/maven.md examples/demo-service.toml examples/maven/pom.xml; do
  [ -f "$release/$file" ] || fail "$file is missing from the archive"
done
echo "== the Maven plugin: its templates are the archive's, and the documented command installs it"
plugin_jar=$release/maven/karvo-maven-plugin-$version.jar
[ -f "$plugin_jar" ] && [ -f "$release/maven/karvo-maven-plugin-$version.pom" ] ||
  fail "the Maven plugin or its POM is missing from maven/"
for width in win32 win64; do
  [ -f "$release/templates/$width/karvo-service.exe" ] || continue
  unzip -p "$plugin_jar" "karvo/templates/$width/karvo-service.exe" | cmp -s - "$release/templates/$width/karvo-service.exe" ||
    fail "the plugin's $width template differs from the archive's"
done
# The command docs/maven.md gives, with the install plugin's version named, since the offline
# repository here holds more than one.
maven_repo=$work/maven-repo
(cd "$release" && KARVO_MAVEN_REPO=$maven_repo timeout 600 "$root/scripts/mvn-offline" -q \
   org.apache.maven.plugins:maven-install-plugin:3.1.0:install-file \
   -Dfile="maven/karvo-maven-plugin-$version.jar" -DpomFile="maven/karvo-maven-plugin-$version.pom") ||
  fail "mvn install:install-file did not install the plugin"
cmp -s "$plugin_jar" "$maven_repo/karvo/karvo-maven-plugin/$version/karvo-maven-plugin-$version.jar" ||
  fail "the installed plugin is not the archive's"

if ldd "$release/bin/linux-x86_64/karvo-pack" >/dev/null 2>&1; then
  fail "the Linux packer is not statically linked"
fi

echo "== every page the README links to"
for link in $(grep -oE '\]\([^)#]+\)' "$release/README.md" | sed 's/^](//; s/)$//' | grep -v '://' | sort -u); do
  [ -f "$release/$link" ] || fail "the README links to $link, which is not in the archive"
done

echo "== versions"
packer=$release/bin/linux-x86_64/karvo-pack
[ "$("$packer" --version)" = "karvo-pack $version" ] || fail "karvo-pack --version: $("$packer" --version)"

echo "== packing the example with the archive's packer and template"
svc=$work/service
mkdir -p "$svc"
exe=$svc/karvo-demo.exe
"$packer" build "$release/examples/demo-service.toml" \
  --template "$release/templates/$width/karvo-service.exe" --out "$exe" || fail "packing failed"
"$packer" inspect "$exe" >"$work/inspect.txt" || fail "inspect failed"
grep -qx "# Built from the karvo $version launcher template." "$work/inspect.txt" ||
  fail "inspect does not name the template's version: $(head -n 2 "$work/inspect.txt")"
for template in "$release"/templates/*/karvo-service.exe; do
  "$packer" build "$release/examples/demo-service.toml" --template "$template" \
    --out "$work/width-check.exe" >/dev/null || fail "packing with $template failed"
  "$packer" inspect "$work/width-check.exe" | grep -qx "# Built from the karvo $version launcher template." ||
    fail "$template does not carry version $version"
done

echo "== the README's quick start, command for command, in the unpacked archive"
# The commands as the README writes them; each must still stand there, so that the two
# cannot drift apart. The jar is a stand-in: the stand-in runtime loads no classes.
quick_start=(
  "mkdir ticker"
  "cp ../target/ticker-1.0.jar ticker/"
  "bin/linux-x86_64/karvo-pack init ticker"
  "bin/linux-x86_64/karvo-pack build ticker/service.toml --template templates/win64/karvo-service.exe --out ticker/ticker.exe"
)
[ -f "$release/templates/win64/karvo-service.exe" ] || fail "the quick start needs templates/win64"
mkdir -p "$work/unpacked/target"
printf 'stand-in jar' >"$work/unpacked/target/ticker-1.0.jar"
for command in "${quick_start[@]}"; do
  grep -qF -- "$command" "$release/README.md" || fail "the README no longer says: $command"
  echo "\$ $command"
  (cd "$release" && eval "$command") || fail "the quick start failed at: $command"
  # Step 3: the one edit the starter asks for.
  if [ "$command" = "bin/linux-x86_64/karvo-pack init ticker" ]; then
    sed -i 's/^main_class = ""$/main_class = "com.example.Ticker"/' "$release/ticker/service.toml"
  fi
done
svc=$release/ticker
exe=$svc/ticker.exe
"$packer" inspect "$exe" | grep -qx "name = 'karvo-runtime.jar'" ||
  fail "the quick-start service does not carry the runtime classes"

# Step 5 on Windows puts a runtime in ticker\jre; here that is the test stand-in.
win=${WIN64:-build/win64}
mkdir -p "$svc/jre/bin/client"
cp "$win/fixtures/fakejava/java.exe" "$svc/jre/bin/java.exe" || fail "run make build first"
cp "$win/fixtures/fakejvm/jvm.dll" "$svc/jre/bin/client/jvm.dll" || fail "run make build first"
record=$svc/program-received.txt
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
printf 'script=wait-stdin\nrecord=%s\n' "$(windows_path "$record")" >"$svc/jre/bin/client/fakejvm.ini"
width=win64
prefix=build/wine-dist-prefix-$width

echo "== under Wine: the Windows packer, then the quick-start service's life"
# demo.sh --steps drives DEMO_EXE and reads DEMO_DIR/program-received.txt.
export DEMO_DIR=$svc DEMO_EXE=$exe exe release version
# The Windows packer (a 32-bit program) must read the same version from the configured
# executable where 32-bit Windows code runs; then the demo's steps drive the service.
windows_packer=no
if runs_32bit_programs && wine32_installed; then windows_packer=yes; else
  echo "dist-test: this machine runs no 32-bit Windows code; the Windows packer is not run"
fi
export windows_packer
scripts/with-wine.sh --arch=$width "$prefix" "$win/wine-probe.exe" 600 bash -c '
  [ "$windows_packer" = yes ] || exec bash scripts/demo.sh --steps
  timeout 60 wine "$release/bin/windows/karvo-pack.exe" --version </dev/null >"$exe.version" 2>&1
  [ "$(tr -d "\r" <"$exe.version")" = "karvo-pack $version" ] ||
    { echo "dist-test: the Windows packer says: $(cat "$exe.version")" >&2; exit 1; }
  timeout 60 wine "$release/bin/windows/karvo-pack.exe" inspect "$(winepath -w "$exe")" \
    </dev/null >"$exe.inspect" 2>&1
  grep -q "^# Built from the karvo $version launcher template." "$exe.inspect" ||
    { echo "dist-test: the Windows packer does not read the version: $(head -n 3 "$exe.inspect")" >&2; exit 1; }
  bash scripts/demo.sh --steps'
rc=$?
# 77: this machine cannot run the width chosen (with-wine.sh said why); the rest was checked.
if [ $rc -eq 77 ]; then
  echo "dist-test: the archive's contents are right; its run under Wine was skipped here"
  exit 0
fi
[ $rc -eq 0 ] || fail "the service's life under Wine did not go as expected"
echo "dist-test: the archive works as shipped"
