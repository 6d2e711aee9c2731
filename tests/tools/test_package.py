import os
import shutil
import subprocess

import pytest

from conftest import launcher, run_tool, table
from tavrin_tools.checks import Refusal
from tavrin_tools.files import walk
from tavrin_tools.msi import STAND_IN
from tavrin_tools.wxs import IMMEDIATE, IN_SCRIPT, ROLLBACK, SCRIPT_IN_SCRIPT

NAMES = ["Main$1.class", "a$(b).txt", "b{2}.txt", "50%.txt", "[x].txt"]
INI = ("[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=11\r\n"
       "ask-for-java-location=0\r\nallow-newer-version=1\r\nuser-settings=Server\r\n"
       "service-name=My$Svc[1]\r\nlog-file=журнал.log\r\n")


def application(folder, kind="windowed", ini=INI):
    os.makedirs(folder / "lib" / "classes")
    shutil.copyfile(launcher(kind), folder / "Server.exe")
    (folder / "lib" / "app.jar").write_bytes(b"jar")
    for name in NAMES:
        (folder / "lib" / "classes" / name).write_bytes(name.encode())
    (folder / "tavrin.ini").write_bytes(ini.encode())
    return folder


SERVICE = ["--name", "Server", "--version", "1.0.0", "--product", "A$B[1]", "--per-machine",
           "--service", "--service-description", "Costs $5 [daily]", "--service-display-name",
           "My {Server} 100%"]


def test_every_name_reaches_every_table_as_given(tree):
    application(tree / "app", "console")  # a console launcher serves
    done = run_tool(tree, "package", "--app-dir", "app", *SERVICE)
    assert done.returncode == 0, done.stderr
    assert "log-file 'журнал.log' has characters outside Windows code page 1252" in done.stderr
    msi = tree / "dist" / "Server-1.0.0.msi"
    names = {row[2].split("|")[-1] for row in table(msi, "File")}
    assert set(NAMES) <= names
    assert ["ProductName", "A$B[1]"] in table(msi, "Property")
    service = table(msi, "ServiceInstall")[0]
    assert service[1:3] == ["My$Svc[\\[]1[\\]]", "My [\\{]Server[\\}] 100%"]
    assert service[-1] == "Costs $5 [\\[]daily[\\]]"
    assert table(msi, "ServiceControl")[0][1] == "My$Svc[\\[]1[\\]]"
    assert not [row for row in table(msi, "Shortcut") if "Server.exe" in row[4]], \
        "a service's program has no shortcut"
    tables = subprocess.run(["msiinfo", "tables", str(msi)], capture_output=True, text=True,
                            check=True).stdout.split()
    for name in tables:
        if not name.startswith("_") and name not in ("Binary", "Icon"):
            text = "\n".join("\t".join(row) for row in table(msi, name))
            assert STAND_IN not in text and "TAVRINDOLLAR" not in text, name


def test_the_steps_that_change_the_machine_run_deferred_without_impersonation(tree):
    application(tree / "app")
    assert run_tool(tree, "package", "--app-dir", "app", *SERVICE).returncode == 0
    msi = tree / "dist" / "Server-1.0.0.msi"
    actions = {row[0]: row for row in table(msi, "CustomAction")}
    sequence = {row[0]: int(row[2]) for row in table(msi, "InstallExecuteSequence")}
    # Keeping tavrin.ini only reads the install folder, before the old
    # version's removal.
    assert int(actions["KeepSettings"][1]) == IMMEDIATE
    assert sequence["KeepSettings"] < sequence["RemoveExistingProducts"]
    steps = {"RestoreSettings": SCRIPT_IN_SCRIPT, "RestoreSettingsUndo": ROLLBACK,
             "StopTheService": SCRIPT_IN_SCRIPT, "StopTheServiceUndo": ROLLBACK,
             "StartTheService": IN_SCRIPT, "StartTheServiceUndo": ROLLBACK}
    for step, kind in steps.items():
        assert int(actions[step][1]) == kind, step
        assert kind & 1024 and kind & 2048, "in the script, not impersonated"
        assert sequence["InstallInitialize"] < sequence[step] < sequence["InstallFinalize"], step
        # Each undo is in the script before the step it undoes.
        if step.endswith("Undo"):
            assert sequence[step] < sequence[step[:-4]]
    assert sequence["StopTheService"] < sequence["StopServices"]
    assert actions["StartTheService"][3] == '"[System64Folder]sc.exe" start "My$Svc[\\[]1[\\]]"'
    # The stop's step gets the service's name, formatted, as its data.
    assert actions["StopTheServiceData"][1:4] == ["51", "StopTheService", "My$Svc[\\[]1[\\]]"]


REFUSALS = [
    (["--service-display-name", "X"], INI, "--service-display-name goes with --service"),
    ([], INI, "Server.exe is a console launcher: its Start-menu shortcut would open a window"),
]


@pytest.mark.parametrize("options,ini,why", REFUSALS, ids=["display", "console"])
def test_a_refusal_is_a_sentence_and_exit_2(tree, options, ini, why):
    application(tree / "app", "console", ini)
    done = run_tool(tree, "package", "--app-dir", "app", "--name", "Server", "--version", "1.0.0",
                    *options)
    assert done.returncode == 2
    assert why in done.stderr
    assert "Traceback" not in done.stderr
    assert not os.listdir(tree / "dist") if os.path.isdir(tree / "dist") else True



def test_a_folder_that_cannot_be_listed_is_refused(tmp_path):
    with pytest.raises(Refusal, match="--app-dir: '.*gone' cannot be read"):
        list(walk(str(tmp_path / "gone")))
