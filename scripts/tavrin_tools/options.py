"""The tools' options: flags alone, the others with one value each; one given
again adds to its list where the tool keeps one, else replaces."""

import sys


class Options(dict):
    def __init__(self, usage, flags=(), values=(), lists=()):
        super().__init__()
        self._usage = usage
        self._flags, self._values, self._lists = set(flags), set(values), set(lists)

    def usage(self):
        print(self._usage, file=sys.stderr)
        raise SystemExit(2)

    def parse(self, arguments):
        """Also self.sequence: the list options' values in their order."""
        self.sequence = []
        for key in self._lists:
            self[key] = []
        at = 0
        while at < len(arguments):
            option = arguments[at]
            if option in self._flags:
                self[option] = True
                at += 1
                continue
            if at + 1 >= len(arguments) or option not in self._values | self._lists:
                self.usage()
            if option in self._lists:
                self[option].append(arguments[at + 1])
                self.sequence.append((option, arguments[at + 1]))
            else:
                self[option] = arguments[at + 1]
            at += 2
        return self
