#!/usr/bin/env bash
# Static checks of the launcher templates, for machines that cannot run them: whatever Wine
# can or cannot do here, the shipped files are checked for what a Windows machine will hold
# against them.
#   check-templates.sh [BUILD_ROOT]      (default: build)
# Prints one line per check and "N passed, N failed" at the end; exits 1 on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=${1:-build}
packer=$root/native/karvo-pack
version=$(head -n 1 VERSION)
passed=0 failed=0
work=$(mktemp -d "${TMPDIR:-/tmp}/karvo-templates.XXXXXX")
trap 'rm -rf "$work"' EXIT

check() {  # check NAME RESULT(0 = pass) [DETAIL]
  if [ "$2" -eq 0 ]; then
    passed=$((passed + 1)); echo "  ok    $1"
  else
    failed=$((failed + 1)); echo "  FAIL  $1${3:+: $3}"
  fi
}
imports() { "$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u; }

# The libraries every Windows 7 or later has; the launcher links nothing else statically.
system_libraries="advapi32.dll kernel32.dll msvcrt.dll"

for bits in 32 64; do
  if [ $bits = 32 ]; then
    template=$root/win/karvo-service.exe format=pei-i386 objdump=i686-w64-mingw32-objdump
    stand_in=$root/win/fixtures/fakejvm/jvm.dll
  else
    template=$root/win64/karvo-service.exe format=pei-x86-64 objdump=x86_64-w64-mingw32-objdump
    stand_in=$root/win64/fixtures/fakejvm/jvm.dll
  fi
  echo "== $bits-bit template $template"
  if [ ! -f "$template" ]; then
    check "the template exists" 1 "run make build"
    continue
  fi
  headers=$("$objdump" -p "$template")

  grep -q "file format $format\$" <<<"$headers"
  check "PE image of the right machine ($format)" $? "$(grep -m1 'file format' <<<"$headers")"

  grep -Eq '^Subsystem[[:space:]]+0+3[[:space:]]' <<<"$headers"
  check "console subsystem" $? "$(grep -m1 '^Subsystem' <<<"$headers")"

  own=$(imports "$template" | tr '\n' ' ' | sed 's/ $//')
  extra=""
  for library in $own; do
    [[ " $system_libraries " == *" $library "* ]] || extra+=" $library"
  done
  [ -z "$extra" ]
  check "imports only system libraries ($own)" $? "also imports$extra"
  if [ $bits = 32 ] && [ -f "$root/win64/karvo-service.exe" ]; then
    other=$(objdump=x86_64-w64-mingw32-objdump; imports "$root/win64/karvo-service.exe" | tr '\n' ' ' | sed 's/ $//')
    [ "$own" = "$other" ]
    check "imports the same libraries as the 64-bit template" $? "32-bit: $own; 64-bit: $other"
  fi

  # The packer reads the template's size against the end of its last section, and its
  # version resource from a copy it configures.
  "$packer" inspect "$template" >"$work/inspect" 2>&1
  grep -q 'carries no configuration block' "$work/inspect"
  check "no configuration block appended" $? "$(head -n 1 "$work/inspect")"
  printf 'service_name = "TemplateCheck"\nmain_class = "check.Main"\n' >"$work/check.toml"
  "$packer" build "$work/check.toml" --template "$template" --out "$work/check.exe" >/dev/null 2>&1 &&
    grep -qx "# Built from the karvo $version launcher template." <<<"$("$packer" inspect "$work/check.exe" 2>/dev/null)"
  check "version resource $version" $?

  # A runtime's jvm.dll is looked up by its export name, as GetProcAddress takes it. Every
  # Windows runtime exports JNI_CreateJavaVM undecorated: the 64-bit ones because x64 has one
  # calling convention and no decoration, the 32-bit ones because their export file names the
  # __stdcall function JNI_CreateJavaVM (the decorated _JNI_CreateJavaVM@12 exists only as an
  # alias in some of them). So the launcher must ask for the plain name, and the stand-in
  # runtime the tests load must export it under that name too.
  # (Texts are read whole before grep: grep -q ending a pipe early fails it under pipefail.)
  texts=$(strings -a "$template")
  grep -qx 'JNI_CreateJavaVM' <<<"$texts"
  check "looks up JNI_CreateJavaVM by its undecorated name" $?
  ! grep -q 'JNI_CreateJavaVM@' <<<"$texts"
  check "asks for no decorated JNI name" $?
  if [ -f "$stand_in" ]; then
    grep -Eq '\][[:space:]]+JNI_CreateJavaVM$' <<<"$("$objdump" -p "$stand_in")"
    check "the stand-in runtime exports JNI_CreateJavaVM undecorated" $?
  fi
done

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
