#!/usr/bin/env bash
# Prints one table of size and speed figures: metric, karvo, reference, ratio. Figures, not
# pass/fail: nothing here fails because something is slow. README.md says what each row
# means and which ratios the project aims for.
#   BENCH_ROUNDS=N (default 9): interleaved rounds; every time is the median of N rounds.
#   BENCH_BITS=32|64: which build is timed; by default the 32-bit one, or the 64-bit one on
#   a machine that runs no 32-bit programs. Sizes are printed for both.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rounds=${BENCH_ROUNDS:-9}
work=$root/build/bench/run
rm -rf "$work" && mkdir -p "$work"
template32=build/win/karvo-service.exe
template64=build/win64/karvo-service.exe
bits=${BENCH_BITS:-}
if [ -z "$bits" ]; then
  . scripts/lib/width32.sh
  bits=64
  runs_32bit_programs && wine32_installed && bits=32
fi
case $bits in
  32) win=build/win arch=win32 ;;
  64) win=build/win64 arch=win64 ;;
  *) echo "bench: BENCH_BITS is 32 or 64, not $bits" >&2; exit 2 ;;
esac
template=$win/karvo-service.exe
fixtures=$win/fixtures
winpath() { echo "Z:${1//\//\\}"; }

# A packer built as users get it: optimised, without the sanitizers of the test build.
cmake -S . -B build/pack-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKARVO_NATIVE_SANITIZE=OFF >/dev/null || exit 1
cmake --build build/pack-release --target karvo-pack >/dev/null || exit 1
pack=build/pack-release/karvo-pack

# runtime DIR [VERSION]: a fake runtime with a release file naming its version, as real
# ones have; with no version it is a good one (Java 17) with the stand-in jvm.dll (told by
# INI_TEXT what to do). Its java.exe prints the same version. RELEASE_FILES=no leaves the
# release file out, so that the version can only come from starting java.exe.
runtime() {
  local version=${2:-17.0.2}
  mkdir -p "$1/bin"
  cp "$fixtures/fakejava/java.exe" "$1/bin/java.exe"
  printf 'banner=java version "%s"\n' "$version" > "$1/bin/fakejava.ini"
  if [ "${RELEASE_FILES:-yes}" = yes ]; then
    printf 'JAVA_VERSION="%s"\n' "$version" > "$1/release"
  fi
  if [ $# -lt 2 ]; then
    mkdir -p "$1/bin/client"
    cp "$fixtures/fakejvm/jvm.dll" "$1/bin/client/jvm.dll"
    printf '%s' "$INI_TEXT" > "$1/bin/client/fakejvm.ini"
  fi
}

# layout NAME SEARCH_SEQUENCE: a configured svc.exe in its own directory.
layout() {
  mkdir -p "$work/$1"
  cat > "$work/$1/svc.toml" <<TOML
service_name = "KarvoBench"
main_class = "com.example.Bench"
min_java_version = "1.7"
jre_search_sequence = [$2]
TOML
  "$pack" build "$work/$1/svc.toml" --template "$template" --out "$work/$1/svc.exe" >/dev/null ||
    exit 1
}

INI_TEXT=$'script=return\n'
layout host "'B.\\jre'"
runtime "$work/host/jre"
for lines in 1000 10000; do
  name=opts$((lines / 1000))k
  layout $name "'B.\\jre'"
  runtime "$work/$name/jre"
  for i in $(seq $lines); do echo "-Dbench.option$i=value $i"; done > "$work/$name/svc.vmoptions"
done
for kind in "" probe; do
  [ "$kind" = probe ] && export RELEASE_FILES=no
  for n in 1 10 50; do
    sequence=""
    for i in $(seq $n); do sequence+="'B.\\c$i',"; done
    layout search$kind$n "${sequence%,}"
    for i in $(seq $((n - 1))); do runtime "$work/search$kind$n/c$i" 1.5.0_22; done
    runtime "$work/search$kind$n/c$n"
  done
  unset RELEASE_FILES
done
for name in service serviceprobe; do
  INI_TEXT=$'script=wait-stdin\nrecord='"$(winpath "$work/$name/jre/bin/client/fakejvm.record")"$'\n'
  layout $name "'B.\\jre'"
  [ $name = serviceprobe ] && export RELEASE_FILES=no
  runtime "$work/$name/jre"
  unset RELEASE_FILES
done
cp $win/bench/bare-loader.exe "$work/"

# Packing: the release packer against copying the template, 20 runs each.
timeRuns() {
  local start end
  start=$(date +%s%N)
  for _ in $(seq 20); do "$@" >/dev/null || return 1; done
  end=$(date +%s%N)
  echo $(((end - start) / 20000))  # microseconds per run
}
pack_us=$(timeRuns "$pack" build "$work/host/svc.toml" --template "$template" --out "$work/packed.exe")
copy_us=$(timeRuns cp "$template" "$work/copied.exe")

cat > "$work/measure.sh" <<SH
cd "$work"
timeout 570 wine "$root/$win/bench/bench-driver.exe" '$(winpath "$work")' $rounds \
  </dev/null >"$work/driver.out"
SH
echo "bench: the $bits-bit build, $rounds interleaved rounds under Wine (progress on stderr)" >&2
scripts/with-wine.sh --arch=$arch build/wine-bench-prefix$bits $win/wine-probe.exe 600 \
  bash "$work/measure.sh" \
  >&2 || { echo "bench: the driver failed" >&2; exit 1; }
tr -d '\r' < "$work/driver.out" > "$work/medians.txt"
get() { awk -v k="$1" '$1 == k { print $2 }' "$work/medians.txt"; }

row() {  # metric karvo reference [unit]
  awk -v m="$1" -v a="$2" -v b="$3" -v u="${4:-ms}" 'BEGIN {
    r = (b + 0 > 0 && a + 0 >= 0) ? sprintf("%.2f", a / b) : "-";
    printf "| %-68s | %12s | %12s | %6s |\n", m, a " " u, (b == "-" ? "-" : b " " u), r }'
}
sub() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a - b }'; }
per() { awk -v a="$1" -v b="$2" -v n="$3" 'BEGIN { printf "%.1f", (a - b) / n }'; }

host=$(get host)
printf '| %-68s | %12s | %12s | %6s |\n' metric karvo reference ratio
printf '|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..70})" "$(printf -- '-%.0s' {1..14})" \
  "$(printf -- '-%.0s' {1..14})" "--------"
row "service start to main, cold cache (ref: warm)" "$(get cold)" "$(get warm)"
row "service start to main, cold cache, no release file (ref: warm)" "$(get coldprobe)" \
  "$(get warmprobe)"
row "service start to main, warm cache (ref: bare loader)" "$(get warm)" "$(get bare)"
row "service stop to stopped" "$(get stop)" "-"
row "Java host, cache hit, whole process (ref: bare loader)" "$host" "$(get bare)"
row "vmoptions 1,000 lines, added to host (ref: aim)" "$(sub "$(get opts1k)" "$host")" 10
row "vmoptions 10,000 lines, added to host (ref: aim)" "$(sub "$(get opts10k)" "$host")" 100
row "vmoptions 10,000 vs 10 x 1,000 lines (linearity)" "$(sub "$(get opts10k)" "$host")" \
  "$(awk -v a="$(get opts1k)" -v h="$host" 'BEGIN { printf "%.1f", 10 * (a - h) }')"
row "vmoptions 1,000 lines, log on (ref: log off)" "$(sub "$(get opts1k_log)" "$(get host_log)")" \
  "$(sub "$(get opts1k)" "$host")"
row "java.exe -version without a console (ref: with a windowless one)" "$(get probe)" \
  "$(get probe_console)"
# A candidate's cost on a cache miss: the time beyond the same search answered from the
# version cache throughout (the layouts without release files, second run), per candidate.
for n in 1 10 50; do
  row "search, cache miss, $n candidates: per candidate (ref: probe)" \
    "$(per "$(get miss$n)" "$(get hitprobe$n)" $n)" "$(get probe)"
done
for n in 1 10 50; do
  row "search, no release files, cache miss, $n: per candidate (ref: probe)" \
    "$(per "$(get missprobe$n)" "$(get hitprobe$n)" $n)" "$(get probe)"
done
for n in 10 50; do
  row "search, cache hit, $n candidates: per further candidate" \
    "$(per "$(get hitprobe$n)" "$(get hitprobe1)" $((n - 1)))" "-"
done
row "template size, 32-bit (ref: 300 KB)" "$(stat -c %s $template32)" 307200 B
if [ -f "$template64" ]; then
  row "template size, 64-bit (ref: 350 KB)" "$(stat -c %s $template64)" 358400 B
fi
row "packing, release packer (ref: copying the template)" "$pack_us" "$copy_us" us
