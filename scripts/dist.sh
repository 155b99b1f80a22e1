#!/usr/bin/env bash
# Makes the release archives dist/karvo-<version>.zip and .tar.gz from a finished build
# (make build): the launcher templates of every width built (build/win, and build/win64
# when it exists), the packer for Linux (statically linked, built here without sanitizers)
# and for Windows, the runtime jars, the Maven plugin and its POM, the documentation, the
# examples and SHA256SUMS over all of it.
#   dist.sh            (make dist runs it, then tests the archive with dist-test.sh)
# WIN, WIN64, JAVA and DIST override the directories read and written.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
win=${WIN:-build/win}
win64=${WIN64:-build/win64}
java=${JAVA:-build/java}
dist=${DIST:-dist}
packer_build=build/dist-packer

version=$(head -n 1 VERSION)
name=karvo-$version
stage=build/dist-stage/$name

need() {
  if [ ! -f "$1" ]; then
    echo "dist: $1 is missing; run make build first" >&2
    exit 1
  fi
}
need "$win/karvo-service.exe"
need "$win/karvo-pack.exe"
need "$java/karvo-runtime.jar"
need "$java/tslruntime.jar"
maven_plugin=build/maven/plugin/target/karvo-maven-plugin-$version.jar
need "$maven_plugin"

echo "== the Linux packer: release build, statically linked, no sanitizers"
cmake -S . -B "$packer_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKARVO_NATIVE_SANITIZE=OFF \
  -DCMAKE_EXE_LINKER_FLAGS="-static -s" >/dev/null
cmake --build "$packer_build" --target karvo-pack -j "$(nproc)" >/dev/null
packer=$packer_build/karvo-pack
if ldd "$packer" >/dev/null 2>&1; then
  echo "dist: $packer is not statically linked" >&2
  exit 1
fi
packer_version=$("$packer" --version)
if [ "$packer_version" != "karvo-pack $version" ]; then
  echo "dist: the packer says '$packer_version', VERSION says $version" >&2
  exit 1
fi

echo "== staging $name"
rm -rf "$stage"
mkdir -p "$stage"/{templates/win32,bin/linux-x86_64,bin/windows,runtime,docs,examples,maven}
cp "$win/karvo-service.exe" "$stage/templates/win32/"
widths=win32
if [ -f "$win64/karvo-service.exe" ]; then
  mkdir -p "$stage/templates/win64"
  cp "$win64/karvo-service.exe" "$stage/templates/win64/"
  widths="$widths win64"
fi
cp "$packer" "$stage/bin/linux-x86_64/karvo-pack"
cp "$win/karvo-pack.exe" "$stage/bin/windows/karvo-pack.exe"
i686-w64-mingw32-strip "$stage/bin/windows/karvo-pack.exe"
cp "$java/karvo-runtime.jar" "$java/tslruntime.jar" "$stage/runtime/"
cp README.md "$stage/"
# Every page the README links to, and the pages those link to.
cp docs/*.md "$stage/docs/"
mkdir -p "$stage/java"
cp java/README.md "$stage/java/"
cp examples/demo-service.toml examples/demo-readme.txt "$stage/examples/"
cp -r examples/maven "$stage/examples/maven"
# The plugin as a Maven repository holds it: the jar and its POM, installed with one
# mvn install:install-file (docs/maven.md).
cp "$maven_plugin" "$stage/maven/karvo-maven-plugin-$version.jar"
cp build/maven/plugin/pom.xml "$stage/maven/karvo-maven-plugin-$version.pom"
cp VERSION "$stage/"
(cd "$stage" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
   xargs sha256sum >SHA256SUMS)

echo "== archives"
mkdir -p "$dist"
rm -f "$dist/$name.zip" "$dist/$name.tar.gz"
# Fixed times, owners and order, so that the same build gives the same archive.
stamp=$(git log -1 --format=%ct 2>/dev/null || date +%s)
find "$stage" -exec touch -h -d "@$stamp" {} +
(cd "$(dirname "$stage")" && LC_ALL=C find "$name" | LC_ALL=C sort |
   zip -X -q "$root/$dist/$name.zip" -@)
tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$stamp" \
  -C "$(dirname "$stage")" -cf - "$name" | gzip -n >"$dist/$name.tar.gz"
echo "dist: wrote $dist/$name.zip and $dist/$name.tar.gz (templates: $widths)"
