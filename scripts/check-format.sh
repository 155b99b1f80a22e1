#!/usr/bin/env bash
# Checks, or with --fix applies, .clang-format on the lines changed since BASE: the lines of
# the commits not yet on main plus the uncommitted ones. Only changed lines: formatting the
# whole tree at once would touch every file other branches are editing.
#   check-format.sh [--fix] [BASE]   (BASE: a commit; default the merge base with main)
set -uo pipefail
cd "$(dirname "$0")/.."
fix=no
if [ "${1:-}" = "--fix" ]; then
  fix=yes
  shift
fi
tool=git-clang-format-14
binary=clang-format-14
command -v "$tool" >/dev/null || { tool=git-clang-format; binary=clang-format; }
command -v "$tool" >/dev/null || { echo "check-format: git-clang-format is not installed" >&2; exit 2; }
if ! git rev-parse --git-dir >/dev/null 2>&1; then
  echo "check-format: not a git work tree; nothing to compare with"
  exit 0
fi

base=${1:-}
if [ -z "$base" ]; then
  base=$(git merge-base HEAD main 2>/dev/null || git merge-base HEAD origin/main 2>/dev/null ||
         git rev-parse HEAD)
fi

if [ $fix = yes ]; then
  "$tool" --binary "$binary" --force "$base" -- '*.cpp' '*.h'
  exit 0
fi
diff=$("$tool" --binary "$binary" --diff "$base" -- '*.cpp' '*.h' 2>&1)
if [[ "$diff" == diff* ]]; then
  echo "$diff"
  echo "check-format: the lines above do not follow .clang-format; make format fixes them" >&2
  exit 1
fi
echo "check-format: the lines changed since ${base:0:12} follow .clang-format"
