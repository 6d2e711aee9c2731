#!/bin/sh
# Builds the launcher into dist/tavrin.exe.
set -eu
cd "$(dirname "$0")/.."
cmake --preset default
cmake --build --preset default --target tavrin
ls -l dist/tavrin.exe
