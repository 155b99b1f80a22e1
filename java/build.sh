#!/bin/sh
# Builds the Java runtime classes that the native launcher starts.
#
#   sh java/build.sh OUTDIR          (for example: sh java/build.sh build/java)
#
# Produces OUTDIR/karvo-runtime.jar and an identical OUTDIR/tslruntime.jar (the
# name the tessel flavour looks for). Needs javac and jar of JDK 9 to 19; the
# class files are made for Java 7, the oldest release those can target, so that
# every runtime the packer lets a configuration accept can load them.
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi

src=$(cd "$(dirname "$0")" && pwd)/src/main/java
mkdir -p "$1"
out=$(cd "$1" && pwd)
classes=$out/classes/main

rm -rf "$classes"
mkdir -p "$classes"
# One quoted path per line, so directories with blanks survive the argument file.
find "$src" -name '*.java' | sed 's/\\/\\\\/g; s/.*/"&"/' > "$out/main-sources.txt"
# Release 7 is marked obsolete by today's compilers; that warning is expected.
javac --release 7 -encoding UTF-8 -Xlint:all,-options -d "$classes" "@$out/main-sources.txt"

rm -f "$out/karvo-runtime.jar" "$out/tslruntime.jar"
jar cf "$out/karvo-runtime.jar" -C "$classes" .
cp "$out/karvo-runtime.jar" "$out/tslruntime.jar"
echo "built $out/karvo-runtime.jar and $out/tslruntime.jar"
