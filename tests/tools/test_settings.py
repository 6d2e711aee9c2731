import pytest

from tavrin_tools.settings import Settings

# A file, a key, the program (or none), the value and whether it is there,
# as the launcher takes them.
ROWS = [
    (b"\xef\xbb\xbf[tavrin]\r\npass-arguments=1\r\n", "pass-arguments", None, "1", True),
    (b"[tavrin] ; a comment after the name\npass-arguments = 1 \n", "pass-arguments", None, "1",
     True),
    (b"[ TaVrIn ]\rpass-arguments=0\rpass-arguments=1\r", "pass-arguments", None, "1", True),
    (b"[other]\npass-arguments=1\n[tavrin]\n", "pass-arguments", None, "", False),
    (b"[tavrin]\n; pass-arguments=1\n  # pass-arguments=1\n  pass-arguments\t=\t0\t\n",
     "pass-arguments", None, "0", True),
    (b"[tavrin]\nPass-Arguments=1\n", "pass-arguments", None, "", False),
    (b"pass-arguments=1\n[tavrin]\n", "pass-arguments", None, "", False),
    (b"[tavrin]\n[not a section\npass-arguments=1\n", "pass-arguments", None, "1", True),
    (b"[tavrin]\n=1\npass-arguments=1\n[tavrin.messages]\npass-arguments=0\n", "pass-arguments",
     None, "1", True),
    (b"[tavrin]\nuser-settings=Example App\r\n", "user-settings", None, "Example App", True),
    (b"[tavrin]\njar-file-name=\r\n", "jar-file-name", None, "", True),
    # The program's own section over [tavrin], in any letter case; empty
    # there clears the shared value.
    (b"[tavrin]\nlog-file=a.log\n[Tool.EXE]\nlog-file=b.log\n", "log-file", "tool.exe", "b.log",
     True),
    (b"[tavrin]\nlog-file=a.log\n[tool.exe]\nlog-file=\n", "log-file", "tool.exe", "", False),
    (b"[tavrin]\nlog-file=a.log\n[other.exe]\nlog-file=b.log\n", "log-file", "tool.exe", "a.log",
     True),
    ("[tavrin]\nlog-file=журнал.log\n".encode(), "log-file", None, "журнал.log", True),
]


@pytest.mark.parametrize("data,key,program,value,present", ROWS, ids=range(len(ROWS)))
def test_a_key_as_the_launcher_reads_it(data, key, program, value, present):
    settings = Settings(data)
    assert settings.value(key, program) == value
    assert settings.has(key, program) == present
