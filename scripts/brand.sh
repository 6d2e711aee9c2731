#!/bin/sh
# Builds the launcher under the author's own name, icon, version and texts:
# the same code, messages and manifest, and the same tavrin.ini beside it.
# Run scripts/setup.sh first on a fresh machine.
#
#   scripts/brand.sh --name NAME [--console] [--icon FILE.ico|FILE.png]
#                    [--version A.B.C.D] [--product TEXT] [--company TEXT] [--description TEXT]
#                    [--copyright TEXT]
#
# The result is dist/NAME.exe in this repository (the message gives its full
# path, whatever folder the script is run from), the windowed launcher, or with --console the
# console launcher (tavrinc.exe's code); each brand is built in
# build/brand/NAME, so branding never touches dist/tavrin.exe.
set -eu
# The program behind it: scripts/tavrin_tools (python3 -m tavrin_tools brand).
python=/usr/bin/python3
[ -x "$python" ] || python=python3
PYTHONPATH="$(cd "$(dirname "$0")" && pwd)${PYTHONPATH:+:$PYTHONPATH}" \
  exec "$python" -m tavrin_tools brand "$@"
