#!/bin/sh
# Installs everything the build, the tests and the demo need, from Debian's
# own packages only. Safe to run again; run as root (or through sudo).
set -eu

# cmake, ninja-build            the build
# ccache                        the brand test's builds share their compilations
# g++-mingw-w64-x86-64-posix    the cross compiler (posix threads: GoogleTest needs them)
# binutils-mingw-w64-x86-64     objdump and windres for Windows executables
# g++, zlib1g-dev, binutils     host tools: the icon generator, strings
# googletest                    the test framework's sources
# wine, wine64, wine64-tools    running the tests; winegcc builds the Java bridge
# xvfb, xauth                   a display for the message boxes and the folder dialog
# icoutils                      wrestool and icotool read the executable's resources
# osslsigncode, openssl         signing the launcher
# openjdk-17-jdk-headless       a real Java runtime and javac for the demo
# wixl, msitools, python3       Windows installers (scripts/package.sh)
# python3-pil, python3-pefile   the author's tools: PNG icons, launchers' version blocks
# python3-pytest                the tools' tests
packages="
  cmake ninja-build ccache
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  g++ zlib1g-dev binutils
  googletest
  wine wine64 wine64-tools
  xvfb xauth
  icoutils
  osslsigncode openssl
  openjdk-17-jdk-headless
  wixl msitools python3 python3-pil python3-pefile python3-pytest
"

if [ "$(id -u)" -ne 0 ]; then
  exec sudo "$0" "$@"
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $packages
