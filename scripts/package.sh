#!/bin/sh
# Packs an application folder into a Windows installer, dist/NAME-VERSION.msi,
# on Linux (wixl and msibuild, from Debian's wixl and msitools packages).
# Run scripts/setup.sh first on a fresh machine.
#
#   scripts/package.sh --app-dir DIR --name NAME --version A.B.C
#                      [--product TEXT] [--company TEXT] [--per-machine]
#                      [--desktop-shortcut] [--associate .EXT=DESCRIPTION]...
#                      [--associate-default .EXT=DESCRIPTION]...
#                      [--url-protocol SCHEME] [--upgrade-code GUID]
#                      [--launcher NAME[=SHORTCUT TEXT]]... [--tool NAME]...
#                      [--service [--service-display-name TEXT] [--service-description TEXT]]
#                      [--sign-pkcs12 FILE --sign-password-file FILE]
#                      [--timestamp-url URL | --timestamp-rfc3161 URL]
#                      [--timestamp-timeout SECONDS]
#
# DIR holds the launcher NAME.exe, tavrin.ini, the JARs and any runtime
# folder; everything in it is installed. --launcher adds another windowed
# launcher of the folder with a Start-menu shortcut of its own; --tool a
# console launcher, run from a command prompt: the install folder goes on
# PATH. --service (with --per-machine) installs NAME.exe as the Windows
# service tavrin.ini's service-name names. Bad input is refused with a
# sentence, and nothing is written to dist/ then.
set -eu
# The program behind it: scripts/tavrin_tools (python3 -m tavrin_tools package).
python=/usr/bin/python3
[ -x "$python" ] || python=python3
PYTHONPATH="$(cd "$(dirname "$0")" && pwd)${PYTHONPATH:+:$PYTHONPATH}" \
  exec "$python" -m tavrin_tools package "$@"
