#!/bin/sh
# Measures what the launcher costs on every start of an application, under
# Wine, and writes the results to docs/performance.md.
#   scripts/benchmark.sh [RUNS]      (default 30 runs per row)
# TAVRIN_EXE names another launcher to measure (another build, to compare);
# its results then go to standard output only.
# Run scripts/setup.sh first on a fresh machine.
set -eu
cd "$(dirname "$0")/.."
runs=${1:-30}
exe=${TAVRIN_EXE:-dist/tavrin.exe}
report=docs/performance.md
[ -z "${TAVRIN_EXE:-}" ] || report=build/benchmark.report.md

cmake --preset default >/dev/null
cmake --build --preset default --target benchmark >/dev/null

windows_path() { printf 'Z:%s' "$(printf '%s' "$PWD/$1" | tr / '\\')"; }

marker=build/benchmark.running
results=build/benchmark.results
rm -f "$marker" "$results"

WINEDLLPATH="$PWD/build/java-bridge/lib" build/wine-run build/bin/benchmark.exe \
  "$(windows_path "$exe")" "$(windows_path build/bin/fake_java.exe)" \
  "$(windows_path build/bin/empty_program.exe)" "$(windows_path build/java-bridge/bin)" \
  "$(windows_path build/demo-app/demo.jar)" "$runs" "$(windows_path "$marker")" >"$results" &
harness=$!

# While the harness keeps one launcher waiting for its application (and the
# marker exists), its memory is read from the Unix side: Wine does not report
# a process's private bytes through GetProcessMemoryInfo.
peak_rss=0
peak_anon=0
while kill -0 "$harness" 2>/dev/null; do
  if [ -f "$marker" ]; then
    for status in /proc/[0-9]*/status; do
      process=${status%/status}
      if { tr '\0' ' ' <"$process/cmdline"; } 2>/dev/null | grep -q 'tavrin\.exe'; then
        rss=$(awk '/^VmHWM:/ {print $2}' "$status" 2>/dev/null) || rss=0
        anon=$(awk '/^RssAnon:/ {print $2}' "$status" 2>/dev/null) || anon=0
        [ "${rss:-0}" -gt "$peak_rss" ] && peak_rss=$rss
        [ "${anon:-0}" -gt "$peak_anon" ] && peak_anon=$anon
      fi
    done
  fi
  sleep 0.05
done
wait "$harness"
build/wine-run --stop

size=$(wc -c <"$exe")
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' |
  tr '\n' ' ')
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
memory=$(awk '/^MemTotal:/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)
kib() { awk -v k="$1" 'BEGIN {printf "%.2f MiB", k / 1024}'; }

{
  echo "# Performance"
  echo
  echo "Made on $(date -u '+%Y-%m-%d %H:%M UTC') by \`scripts/benchmark.sh $runs\` on a machine"
  echo "with $(nproc) cores ($cpu), $memory of memory, Debian $(cat /etc/debian_version),"
  echo "$(wine --version 2>/dev/null) and Xvfb."
  echo
  echo "## Start-up"
  echo
  echo "(a) is \`dist/tavrin.exe\` with \`wait-for-exit=1\` and a stand-in Java runtime that"
  echo "answers at once: settings, version check, launch (and, on the first start only, the"
  echo "rewrite of \`tavrin.ini\`), end to end. (b) is a small Windows program starting the same two processes (the"
  echo "version check and the launch) directly, with the same redirections. (c) is the"
  echo "same pair with the machine's own JVM through the Java bridge. (d) is an empty GUI"
  echo "program built like the launcher: what starting any program costs here. (e) is (a)"
  echo "with every optional key set (\`java-options\`, \`max-java-version\`,"
  echo "\`find-installed-java\`, \`pass-arguments\` with one argument passed on). (f) is"
  echo "\`dist/tavrin.exe\` with \`read-java-release=1\` and the real JVM, against the"
  echo "application's JVM started directly. (g) is (f) with \`in-process=1\`: the JVM runs"
  echo "inside the launcher, through the bridge's \`jli.dll\`; the JVM started directly goes"
  echo "through the bridge's \`java.exe\` (a second process and pipes), which (g) does not,"
  echo "so (g) can come out below it. (h) is \`dist/tavrin.exe\` with"
  echo "\`class-data-sharing=1\` and \`read-java-release=1\`, its archive made by the start"
  echo "before the rounds (whose time is given apart), against the same JVM started directly"
  echo "without one: the JDK's compiler run as an application (\`--module"
  echo "jdk.compiler/com.sun.tools.javac.Main\`, compiling one small file), and the demo."
  echo "(i) is what the archive's digest costs a start of a class path of 400 JARs (copies of"
  echo "the demo's): their facts and central directories read, in the harness's own process."
  echo "(j) is (a) with an \`update-feed\` whose check is not due; (k) is (a) with a check due at"
  echo "every start: the launcher copies the updater and starts it once the application runs (its"
  echo "feed on a closed port), while the harness times the launcher to its end."
  echo
  cat "$results"
  echo "| peak resident memory, Unix view (VmHWM) | $(kib "$peak_rss") | |"
  echo "| peak private memory, Unix view (RssAnon) | $(kib "$peak_anon") | at most 4 MiB |"
  echo
  echo "## Footprint"
  echo
  echo "| What | Value | Target |"
  echo "|---|---|---|"
  echo "| size of \`dist/tavrin.exe\` | $size bytes ($(awk -v b="$size" 'BEGIN {printf "%.1f", b / 1024}') KiB) | at most 160 KiB |"
  echo "| imported DLLs | $imports | Windows system DLLs only |"
  echo
  cat docs/performance-notes.md
} >"$report"
cat "$report"
