"""Checks of an author's input shared by brand and package."""

import re


class Refusal(Exception):
    """Bad input: the sentence that names it; the tool exits with 2."""


def refuse(why):
    raise Refusal(why)


def is_utf8(text):
    """Arguments that were not UTF-8 hold surrogates after decoding."""
    return not any("\ud800" <= c <= "\udfff" for c in text)


# Line breaks, tabs and other controls: C0, DEL, C1 (U+0085 among them) and
# the line and paragraph separators.
_CONTROLS = re.compile("[\x00-\x1f\x7f\x80-\x9f\u2028\u2029]")
# Bidirectional controls make Explorer show a name in another order
# ("Report<U+202E>fdp.exe" shows as "Reportexe.pdf").
_BIDI = re.compile("[\u061c\u200e\u200f\u202a-\u202e\u2066-\u2069]")
DEVICES = {"CON", "PRN", "AUX", "NUL"} | {
    p + d for p in ("COM", "LPT") for d in "123456789\u00b9\u00b2\u00b3"}
WINDOWS_FORBIDDEN = '<>:"/\\|?*'


def check_text(option, text):
    """UTF-8 without control characters."""
    if not is_utf8(text):
        refuse("%s is not UTF-8 text" % option)
    if _CONTROLS.search(text):
        refuse("%s holds a line break, tab or other control character" % option)


def check_file_name(option, name):
    """A file or folder name Windows accepts, shown as it is."""
    if name == "":
        refuse("%s is empty" % option)
    if any(c in WINDOWS_FORBIDDEN for c in name):
        refuse("%s '%s': Windows file names cannot hold < > : \" / \\ | ? *" % (option, name))
    if name.endswith((".", " ")):
        refuse("%s '%s': Windows file names cannot end in a dot or a blank" % (option, name))
    base = name.split(".")[0].upper()
    if base in DEVICES:
        refuse("%s '%s': %s is a device name on Windows" % (option, name, base))
    if _BIDI.search(name):
        refuse("%s '%s' holds a bidirectional control character, which shows the name in "
               "another order" % (option, name))
    check_text(option, name)


def in_code_page(text):
    return text.encode("cp1252", "ignore").decode("cp1252") == text


def check_code_page(option, text):
    """Text Windows code page 1252 holds: the packages' code page."""
    if not in_code_page(text):
        refuse("%s '%s' has characters outside Windows code page 1252, which the packages "
               "built here cannot hold" % (option, text))


def without_exe(option, name):
    if name.lower().endswith(".exe"):
        refuse("%s '%s': give the name without .exe (it is added)" % (option, name))
