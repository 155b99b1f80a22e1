#!/usr/bin/env bash
# Prints size and speed figures of the launcher. Figures, not pass/fail: nothing here fails
# because something is slow.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$root/build/bench
rm -rf "$work" && mkdir -p "$work"

template=build/win/karvo-service.exe
echo "template size: $(stat -c %s $template) bytes"

cat > "$work/bench.toml" <<'TOML'
service_name = "KarvoBench"
main_class = "com.example.Bench"
TOML
start=$(date +%s%N)
for i in $(seq 20); do
  build/native/karvo-pack build "$work/bench.toml" --template $template --out "$work/bench.exe" >/dev/null
done
end=$(date +%s%N)
echo "pack (native, 20 runs): $(( (end - start) / 20000000 )) ms per run"
echo "configured executable size: $(stat -c %s "$work/bench.exe") bytes"

cat > "$work/measure.sh" <<SH
set -u
cd "$work"
wine bench.exe /status >/dev/null 2>&1
start=\$(date +%s%N)
for i in \$(seq 20); do wine bench.exe /status >/dev/null 2>&1; done
end=\$(date +%s%N)
echo "status command under Wine (warm, 20 runs): \$(( (end - start) / 20000000 )) ms per run"
SH
scripts/with-wine.sh build/wine-bench-prefix build/win/wine-probe.exe 600 bash "$work/measure.sh"
