#!/bin/sh
# Builds the launcher, the demo application's JAR and the Java bridge, lays
# out a demo application folder (tavrin.exe, tavrin.ini, lib\demo.jar), starts
# it under Wine with the machine's own Java runtime on the search path, and
# shows what the application printed and the rewritten tavrin.ini.
set -eu
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default --target tavrin demo_jar java_bridge

app=build/demo/Tavrin\ Demo
rm -rf build/demo
mkdir -p "$app/lib"
cp dist/tavrin.exe "$app/"
cp demo/tavrin.ini "$app/"
cp build/demo-app/demo.jar "$app/lib/"

echo
echo "== Starting $app/tavrin.exe"
echo "== tavrin.ini as shipped:"
cat "$app/tavrin.ini"
# The Java bridge's java.exe is on the Windows search path; Wine finds its
# program in WINEDLLPATH.
status=0
WINEDLLPATH="$PWD/build/java-bridge/lib" \
WINEPATH="Z:$(echo "$PWD/build/java-bridge/bin" | tr / '\\')" \
  build/wine-run "$app/tavrin.exe" || status=$?
build/wine-run --stop

echo
echo "== The launcher ended with exit code $status."
echo "== What the application printed (java.jar.run.output.file):"
cat "$app/java.jar.run.output.file"
echo "== tavrin.ini after the start:"
cat "$app/tavrin.ini"
exit "$status"
