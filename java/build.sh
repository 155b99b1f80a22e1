#!/bin/sh
# Builds the Java runtime classes that the native launcher starts.
#
#   sh java/build.sh OUTDIR          (for example: sh java/build.sh build/java)
#
# Produces OUTDIR/karvo-runtime.jar and an identical OUTDIR/tslruntime.jar (the
# name the tessel flavour looks for). Needs javac and jar of JDK 9 or later;
# the class files are made for Java 8 so that old runtimes can load them.
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
javac --release 8 -encoding UTF-8 -Xlint:all -d "$classes" "@$out/main-sources.txt"

rm -f "$out/karvo-runtime.jar" "$out/tslruntime.jar"
jar cf "$out/karvo-runtime.jar" -C "$classes" .
cp "$out/karvo-runtime.jar" "$out/tslruntime.jar"
echo "built $out/karvo-runtime.jar and $out/tslruntime.jar"
