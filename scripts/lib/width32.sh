# Sourced by the scripts that need to know whether 32-bit code runs on this machine.
#
# runs_32bit_programs: whether the kernel runs a 32-bit Linux program. A 91-byte static i386
# program that exits 0 either runs or is refused ("Exec format error"); nothing short of
# trying tells reliably, since the kernel's IA-32 emulation can be switched off at boot.
# KARVO_NO_32BIT=1 answers no without trying (to test what such machines do).
runs_32bit_programs() {
  [ -n "${KARVO_NO_32BIT:-}" ] && return 1
  local probe rc
  probe=$(mktemp "${TMPDIR:-/tmp}/karvo-elf32.XXXXXX") || return 1
  base64 -d > "$probe" <<'ELF'
f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAAAIAECACABAhbAAAAWwAAAAUAAAAAEAAAMdsxwEDNgA==
ELF
  chmod +x "$probe"
  "$probe" 2>/dev/null
  rc=$?
  rm -f "$probe"
  [ $rc -eq 0 ]
}

# wine32_installed: whether Wine's 32-bit loader is there. Without it `wine --version` still
# answers (the wrapper falls back to the 64-bit loader) and 32-bit Windows programs silently
# do nothing. KARVO_NO_WINE32=1 answers no (to test what such machines do).
wine32_installed() {
  [ -n "${KARVO_NO_WINE32:-}" ] && return 1
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' && return 0
  # Not a Debian package: the 32-bit loader beside the 64-bit one.
  [ -x /usr/lib/wine/wine ] && ! dpkg-query -W wine64 >/dev/null 2>&1
}
