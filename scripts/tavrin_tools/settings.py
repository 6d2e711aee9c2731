"""tavrin.ini read as the launcher reads it."""

import re

_LINES = re.compile(r"\r\n|\n|\r")


class Settings:
    """[tavrin] with a program's own section [NAME.exe] over it, key by key.

    The launcher's syntax: a UTF-8 signature at the start, lines ending in
    CR LF, LF or CR, comments starting with ; or # after blanks, "[name]"
    with blanks around the name and any text after "]", blanks around "=",
    keys exactly so spelt, the last entry of a key counting; an empty value
    in the program's section clears the shared one.
    """

    def __init__(self, data):
        if data.startswith(b"\xef\xbb\xbf"):
            data = data[3:]
        text = data.decode("utf-8", "replace")
        self._entries = []  # (section in lower case, key, value)
        section = None
        for line in _LINES.split(text):
            line = line.lstrip(" \t")
            if not line or line[0] in ";#":
                continue
            if line.startswith("["):
                close = line.find("]")
                if close >= 0:
                    section = line[1:close].strip(" \t").lower()
                continue
            key, equals, value = line.partition("=")
            key = key.rstrip(" \t")
            if equals and key:
                self._entries.append((section, key, value.strip(" \t")))

    def _found(self, key, program):
        shared = own = None
        program = (program or "").lower()
        for section, entry, value in self._entries:
            if entry != key:
                continue
            if program and section == program:
                own = value
            elif section == "tavrin":
                shared = value
        return shared, own

    def value(self, key, program=None):
        """The value, "" when there is none."""
        shared, own = self._found(key, program)
        if own is not None:
            return own
        return shared or ""

    def has(self, key, program=None):
        """Whether the entry is there, even empty (and not cleared)."""
        shared, own = self._found(key, program)
        if own is not None:
            return own != ""
        return shared is not None
