"""python3 -m tavrin_tools brand|package ARGUMENTS, as brand.sh and package.sh
call it: every refusal, and any other failure, a sentence and exit 2."""

import os
import subprocess
import sys

from . import brand, package
from .checks import Refusal

TOOLS = {"brand": brand.main, "package": package.main}


def run(tool, arguments):
    caller = os.getcwd()
    repository = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    os.chdir(repository)
    try:
        return TOOLS[tool](arguments, repository, caller)
    except (Refusal, subprocess.CalledProcessError, OSError) as failed:
        print("%s.sh: %s" % (tool, failed), file=sys.stderr)
    except Exception as fault:  # a fault of the tool's own: still a sentence
        print("%s.sh: an unexpected fault (%s: %s); nothing was written to dist/"
              % (tool, type(fault).__name__, fault), file=sys.stderr)
    return 2


if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1] not in TOOLS:
        print("usage: python3 -m tavrin_tools brand|package ...", file=sys.stderr)
        sys.exit(2)
    sys.exit(run(sys.argv[1], sys.argv[2:]))
