#!/usr/bin/env bash
# Checks that every project include goes down the layers, never up:
#   support  <  config  <  jre  <  launch  <  core
# A unit may include its own layer and the layers below it. The launcher variables, which
# both the runtime search and the launch expand, live in config, below both.
# The packer (tools/karvo-pack) sits beside the launcher: it may use support, config and the
# portable jre and launch units (the version rules), never core.
#   check-layering.sh [ROOT]     prints each wrong include; exit code 1 when there is one
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

rank() {
  case $1 in
    support) echo 0 ;;
    config) echo 1 ;;
    jre) echo 2 ;;
    launch) echo 3 ;;
    core) echo 4 ;;
    *) echo "" ;;
  esac
}

# The highest layer a file may include, from where it lives.
allowed() {
  case $1 in
    src/*/*) rank "$(echo "$1" | cut -d/ -f2)" ;;
    tools/karvo-pack/*) echo 3 ;;
    *) echo "" ;;
  esac
}

status=0
while IFS= read -r file; do
  limit=$(allowed "$file")
  [ -n "$limit" ] || continue
  while IFS=: read -r line layer; do
    target=$(rank "$layer")
    [ -n "$target" ] || continue
    if [ "$target" -gt "$limit" ]; then
      echo "$file:$line: includes $layer/, a layer above its own (support < config < jre < launch < core; the packer stays below core)"
      status=1
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z]*/' "$file" |
           sed -E 's/^([0-9]+):[^"]*"([a-z]+)\/.*/\1:\2/')
done < <(find src tools/karvo-pack \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort)
exit $status
