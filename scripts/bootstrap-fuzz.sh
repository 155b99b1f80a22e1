#!/usr/bin/env bash
# Installs what the fuzz build needs: clang 14 and its runtime libraries (libFuzzer and the
# sanitizers), besides cmake and ninja. Does nothing when they are there.
set -euo pipefail
packages=(clang-14 libclang-rt-14-dev cmake ninja-build libtomlplusplus-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "bootstrap-fuzz: installing ${missing[*]}"
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
