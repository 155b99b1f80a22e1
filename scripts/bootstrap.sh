#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Does nothing, and prints
# nothing, when they are there.
#
# What a real machine throws at it:
# - a package index that fails to download (the i386 security index is sometimes out of step
#   for days): `apt-get update` is tried twice, then `apt-get install` decides; only a
#   package the project cannot do without that fails to install ends the bootstrap;
# - a kernel that runs no 32-bit programs, or a `wine32:i386` that cannot be installed: the
#   32-bit Windows tests are then skipped (scripts/with-wine.sh says so at each run), and the
#   bootstrap says it once, when it installs.
set -uo pipefail
cd "$(dirname "$0")/.."

required=(g++ make cmake ninja-build googletest libgtest-dev libgmock-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64
          openjdk-17-jdk-headless libtomlplusplus-dev zip unzip clang-format-14
          maven libmaven-plugin-tools-java libmaven3-core-java libmaven-compiler-plugin-java
          libmaven-resources-plugin-java libmaven-jar-plugin-java libsurefire-java
          libmaven-install-plugin-java libmaven-clean-plugin-java junit4
          libmaven-invoker-plugin-java libcommons-lang3-java)
# Kept in the build tree, so that a machine where wine32 could not be installed is not asked
# again at every run; `make clean` forgets it.
no_wine32_stamp=build/.bootstrap-no-wine32

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

. scripts/lib/width32.sh

missing=()
for p in "${required[@]}"; do installed "$p" || missing+=("$p"); done

want_wine32=no
if ! installed wine32:i386 && [ ! -e "$no_wine32_stamp" ]; then
  if runs_32bit_programs; then
    want_wine32=yes
  else
    no32_reason="this machine's kernel runs no 32-bit programs"
  fi
fi
[ ${#missing[@]} -eq 0 ] && [ $want_wine32 = no ] && exit 0

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
echo "bootstrap: installing ${missing[*]}$([ $want_wine32 = yes ] && echo " wine32:i386")"
if [ $want_wine32 = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

# One index that fails (a mirror in the middle of a sync) makes `apt-get update` exit 100
# although every other index was read: try once more, then let the install decide.
if ! $SUDO apt-get update -qq; then
  sleep 5
  $SUDO apt-get update -qq ||
    echo "bootstrap: apt-get update failed twice; installing from the package lists it did read"
fi

if [ ${#missing[@]} -gt 0 ]; then
  if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    # Install one at a time to name the ones that cannot be had.
    failed=()
    for p in "${missing[@]}"; do
      installed "$p" && continue
      $SUDO apt-get install -y -qq --no-install-recommends "$p" >/dev/null 2>&1 || failed+=("$p")
    done
    if [ ${#failed[@]} -gt 0 ]; then
      echo "bootstrap: could not install ${failed[*]}, which the build needs;" \
        "see 'apt-get install ${failed[*]}' for why" >&2
      exit 1
    fi
  fi
fi

if [ $want_wine32 = yes ]; then
  if ! $SUDO apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null 2>&1; then
    no32_reason="wine32:i386 could not be installed (its i386 dependencies are not available)"
  fi
fi
if [ -n "${no32_reason:-}" ]; then
  mkdir -p build && : > "$no_wine32_stamp"
  echo "bootstrap: ${no32_reason}; the 32-bit Windows tests will be skipped here" \
    "(the 32-bit launcher is still built and checked)"
fi
exit 0
