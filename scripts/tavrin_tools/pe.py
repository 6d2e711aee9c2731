"""Facts of a Windows executable (a launcher), through pefile."""

import pefile

CONSOLE = 3


def _parsed(path, fast):
    try:
        return pefile.PE(path, fast_load=fast)
    except (pefile.PEFormatError, OSError):
        return None


def subsystem(path):
    """The PE header's subsystem: 3 is the console's, 2 the windowed."""
    pe = _parsed(path, True)
    return pe.OPTIONAL_HEADER.Subsystem if pe else 0


def version_text(path):
    """The version block's FileDescription, else its ProductName; ""."""
    pe = _parsed(path, False)
    found = {}
    for info in getattr(pe, "FileInfo", None) or []:
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                for key, value in table.entries.items():
                    found.setdefault(key, value)
    return (found.get(b"FileDescription") or found.get(b"ProductName") or b"").decode(
        "utf-8", "replace")


def file_version(path):
    """The version block's four file version numbers; (0, 0, 0, 0)."""
    pe = _parsed(path, False)
    for fixed in getattr(pe, "VS_FIXEDFILEINFO", None) or []:
        return (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    return (0, 0, 0, 0)
