"""The application folder's files: names Windows and the package hold."""

import os
import sys
import unicodedata

from .checks import DEVICES, in_code_page, is_utf8, refuse

def _check_name(relative, entry):
    shown = "--app-dir: '%s'" % relative
    if not is_utf8(entry):
        refuse(shown + " has a name that is not UTF-8")
    if any(ord(c) < 32 or ord(c) == 127 or c in '<>:"/\\|?*' for c in entry):
        refuse(shown + ": Windows file names cannot hold < > : \" / \\ | ? * or control "
               "characters")
    if entry.endswith((".", " ")):
        refuse(shown + ": Windows file names cannot end in a dot or a blank")
    if entry.split(".")[0].upper().rstrip(" ") in DEVICES:
        refuse(shown + ": %s is a device name on Windows" % entry.split(".")[0])
    if not in_code_page(entry):
        composed = unicodedata.normalize("NFC", entry) != entry
        refuse(shown + ": the name has characters outside Windows code page 1252, which Windows "
               "Installer packages built here cannot hold; rename it" +
               (" (its accents are written as separate characters: compose them)"
                if composed else ""))


def walk(folder):
    """Every file and folder below a_folder, relative, folders first in
    each, sorted; links followed. A dangling link or an unreadable entry is
    refused."""
    unreadable = lambda error: refuse("--app-dir: '%s' cannot be read" % error.filename)
    for root, folders, files in os.walk(folder, onerror=unreadable, followlinks=True):
        folders.sort()
        for entry in sorted(folders + files):
            path = os.path.join(root, entry)
            relative = os.path.relpath(path, folder)
            if os.path.islink(path) and not os.path.exists(path):
                refuse("--app-dir: the link '%s' points to '%s', which is not there"
                       % (path, os.readlink(path)))
            if not os.access(path, os.R_OK):
                refuse("--app-dir: '%s' cannot be read" % path)
            yield relative, entry


def check_folder(folder, install_root):
    """Names Windows can hold, in the package's code page, no two that
    differ only in letter case; a warning for a path too long for many
    programs."""
    longest = ""
    seen = {}
    for relative, entry in walk(folder):
        _check_name(relative, entry)
        key = os.path.join(os.path.dirname(relative), entry.casefold())
        if key in seen:
            refuse("--app-dir: '%s' and '%s' differ only in letter case, which Windows takes "
                   "for one name" % (seen[key], relative))
        seen[key] = relative
        installed = install_root + "\\" + relative.replace("/", "\\")
        longest = installed if len(installed) > len(longest) else longest
    if len(longest) > 259:
        print("package.sh: warning: installed, '%s' is %d characters long, more than many "
              "Windows programs open (260)" % (longest, len(longest)), file=sys.stderr)
