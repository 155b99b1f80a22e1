#!/bin/sh
# Builds the runtime jar and runs its tests in child JVMs.
#
#   sh java/test.sh OUTDIR           (for example: sh java/test.sh build/java)
#
# Ends with a line "N passed, M failed" and a non-zero exit status on failure.
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
sh "$here/build.sh" "$1"
out=$(cd "$1" && pwd)
classes=$out/classes/test

rm -rf "$classes" "$out/test-work"
mkdir -p "$classes" "$out/test-work"
find "$here/src/test/java" -name '*.java' | sed 's/\\/\\\\/g; s/.*/"&"/' > "$out/test-sources.txt"
javac --release 8 -encoding UTF-8 -cp "$out/karvo-runtime.jar" -d "$classes" "@$out/test-sources.txt"

# Non-ASCII program arguments need a UTF-8 locale to reach the child JVMs intact. The runner
# also drives some runtime classes itself, so the jar is on its own class path.
LC_ALL=C.UTF-8 java -cp "$classes:$out/karvo-runtime.jar" com.karvo.runtime.WinLauncherTest \
    "$out/karvo-runtime.jar" "$classes" "$out/test-work"
