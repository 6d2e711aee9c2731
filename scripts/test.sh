#!/bin/sh
# Builds the launcher and every test, then runs all tests (under Wine).
set -eu
cd "$(dirname "$0")/.."
cmake --preset default
cmake --build --preset default
ctest --preset default
