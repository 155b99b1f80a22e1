#!/usr/bin/env bash
# The layering check on a small tree made here: one row per include, whether the check must
# let it pass, and the file it must name when it does not.
set -uo pipefail
check=$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-layering.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# file | the include | 0 when allowed, 1 when the check must refuse it
rows=(
  "src/support/Log.cpp|support/TextConv.h|0"
  "src/support/Log.cpp|config/LauncherConfig.h|1"
  "src/config/Messages.cpp|support/Log.h|0"
  "src/config/ProductFlavour.cpp|core/StartupEnvironment.h|1"
  "src/jre/JreSearch.cpp|config/LauncherVariables.h|0"
  "src/jre/JreSearch.cpp|launch/ClassPath.h|1"
  "src/launch/JavaVMLauncher.cpp|jre/JvmLibrary.h|0"
  "src/launch/VmOptions.cpp|core/StartupEnvironment.h|1"
  "src/launch/ClassPath.h|core/ServiceName.h|1"
  "src/core/Entry.cpp|launch/JavaVMLauncher.h|0"
  "tools/karvo-pack/lib/PackValues.h|config/ConfigKeys.h|0"
  "tools/karvo-pack/lib/PackValues.cpp|jre/VersionOrder.h|0"
  "tools/karvo-pack/lib/PackValues.cpp|core/ServiceControl.h|1"
)
failures=0
for row in "${rows[@]}"; do
  IFS='|' read -r file include expected <<<"$row"
  rm -rf "$work/tree"
  mkdir -p "$work/tree/$(dirname "$file")"
  printf '#include <string>\n#include "%s"\n' "$include" >"$work/tree/$file"
  output=$(bash "$check" "$work/tree")
  code=$?
  if [ "$code" != "$expected" ] || { [ "$expected" = 1 ] && [[ "$output" != "$file:2: "* ]]; }; then
    echo "FAIL $file including $include: exit code $code (expected $expected), output: $output"
    failures=$((failures + 1))
  fi
done
[ $failures -eq 0 ] && echo "layering check: every row as expected"
exit $((failures > 0))
