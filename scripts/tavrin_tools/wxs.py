"""What the package holds: the WiX text for wixl, the rows msibuild adds."""

import hashlib
import os
import sys
import uuid

from .checks import in_code_page


def ident(prefix, text):
    return prefix + hashlib.sha1(text.encode()).hexdigest()[:20]


class Writer:
    def __init__(self, application, wix, formatted, registry_value):
        self.app = application
        self.wix, self.formatted, self.registry_value = wix, formatted, registry_value
        self.namespace = uuid.UUID(application.upgrade_code)
        self.lines, self.components, self.directories = [], [], {"": "INSTALLDIR"}
        self.files = {}  # each file's id: its path in the folder, relative
        self.root = "HKLM" if application.per_machine else "HKCU"
        self.launcher = "[INSTALLDIR]" + formatted(application.name) + ".exe"

    def guid(self, text):
        return str(uuid.uuid5(self.namespace, text)).upper()

    def emit(self, text):
        self.lines.append(text)

    def service_rows(self, indent):
        """The launcher is the service: own process, started with Windows,
        as LocalSystem; stopped before its files change. Started by a step
        of the package's own at the end."""
        service, f, w = self.app.service, self.formatted, self.wix
        description = service["description"]
        self.emit(indent + "  <ServiceInstall Id=\"service\" Name=%s DisplayName=%s%s "
                  "Type=\"ownProcess\" Start=\"auto\" ErrorControl=\"normal\" "
                  "Account=\"LocalSystem\" Vital=\"yes\"/>" % (
                      w(f(service["name"])), w(f(service["display_name"])),
                      " Description=%s" % w(f(description)) if description else ""))
        self.emit(indent + "  <ServiceControl Id=\"servicecontrol\" Name=%s Stop=\"both\" "
                  "Remove=\"uninstall\" Wait=\"yes\"/>" % w(f(service["name"])))

    def file(self, relative, indent):
        component = ident("c", relative)
        self.components.append(component)
        self.files[ident("f", relative)] = relative
        w = self.wix
        self.emit(indent + "<Component Id=%s Guid=%s Win64=\"yes\">" % (
            w(component), w(self.guid("file " + relative))))
        self.emit(indent + "  <File Id=%s Name=%s Source=%s KeyPath=\"yes\"/>" % (
            w(ident("f", relative)), w(os.path.basename(relative)),
            w("files/" + ident("f", relative))))
        if self.app.service and relative == self.app.name + ".exe":
            self.service_rows(indent)
        self.emit(indent + "</Component>")

    def directory(self, path, depth):
        full = os.path.join(self.app.app_dir, path)
        entries = sorted(os.listdir(full))
        indent = "  " * depth
        w = self.wix
        if not entries and path:
            # An empty folder is installed too.
            component = ident("c", path + "/")
            self.components.append(component)
            self.emit(indent + "<Component Id=%s Guid=%s Win64=\"yes\"><CreateFolder/>"
                      "</Component>" % (w(component), w(self.guid("folder " + path))))
        for entry in entries:
            relative = os.path.join(path, entry) if path else entry
            if os.path.isdir(os.path.join(full, entry)):
                self.directories[relative] = ident("d", relative)
                self.emit(indent + "<Directory Id=%s Name=%s>" % (w(ident("d", relative)),
                                                                  w(entry)))
                self.directory(relative, depth + 1)
                self.emit(indent + "</Directory>")
            else:
                self.file(relative, indent)

    def value(self, key, text, name=None):
        f = self.formatted
        self.emit('<RegistryValue Root=%s Key=%s%s Value=%s Type="string"/>' % (
            self.wix(self.root), self.wix("Software\\Classes\\" + f(key)),
            "" if name is None else " Name=%s" % self.wix(f(name)), self.wix(text)))

    def shortcut(self, identifier, folder, text, program, icon):
        self.emit('<Shortcut Id="%s" Directory="%s" Name=%s Target=%s '
                  'WorkingDirectory="INSTALLDIR" Icon="%s"/>' % (
                      identifier, folder, self.wix(text),
                      self.wix("[INSTALLDIR]" + self.formatted(program) + ".exe"), icon))

    def integration(self):
        """What the launcher writes beside itself at run time, the shortcuts
        and the keys that send documents and links to it. A service's
        program gets no shortcut: a click would be a second server."""
        app, f, w = self.app, self.formatted, self.wix
        self.emit('<Component Id="integration" Guid=%s Win64="yes">' % w(self.guid("integration")))
        self.emit('<RegistryValue Root=%s Key=%s Name="InstallFolder" Value="[INSTALLDIR]" '
                  'Type="string" KeyPath="yes"/>' % (
                      w(self.root), w(f("Software\\" + app.company + "\\" + app.product))))
        if app.update:
            # Where the updater finds the product its feed names.
            self.emit('<RegistryValue Root=%s Key=%s Name="InstallFolder" Value="[INSTALLDIR]" '
                      'Type="string"/>' % (w(self.root), w(f(
                          "Software\\tavrin\\Updates\\{%s}" % app.upgrade_code))))
        if not app.service:
            self.shortcut("startmenu", "ProgramMenuFolder", app.product, app.name, "launcher.ico")
        for index, (program, text) in enumerate(app.shortcuts):
            self.shortcut("startmenu%d" % index, "ProgramMenuFolder", text, program,
                          "launcher%d.ico" % index)
        if app.desktop and not app.service:
            self.shortcut("desktop", "DesktopFolder", app.product, app.name, "launcher.ico")
        command = '"%s" "%%1"' % self.launcher
        for _, extension, description in app.associations:
            klass = app.name + extension
            # In the extension's "Open with" list; the default is the
            # application's in a component of its own.
            self.value(extension + "\\OpenWithProgids", "", klass)
            self.value(klass, self.registry_value(description))
            self.value(klass + "\\DefaultIcon", self.launcher + ",0")
            self.value(klass + "\\shell\\open\\command", command)
        if app.protocol:
            self.value(app.protocol, "URL:" + f(app.product))
            self.value(app.protocol, "", "URL Protocol")
            self.value(app.protocol + "\\DefaultIcon", self.launcher + ",0")
            self.value(app.protocol + "\\shell\\open\\command", command)
        self.emit('<RemoveFolder Id="removeinstall" On="uninstall"/>')
        self.emit('</Component>')

    def defaults(self):
        """The extensions' defaults, each in a component whose condition
        (set afterwards: wixl writes none) leaves another program's alone."""
        components = []
        for index, (_, extension, _) in enumerate(self.app.associations):
            component = "default%d" % index
            self.emit('<Component Id=%s Guid=%s Win64="yes">' % (
                self.wix(component), self.wix(self.guid("default " + extension))))
            self.emit('<RegistryValue Root=%s Key=%s Value=%s Type="string" KeyPath="yes"/>' % (
                self.wix(self.root), self.wix("Software\\Classes\\" + extension),
                self.wix(self.formatted(self.app.name + extension))))
            self.emit('</Component>')
            components.append(component)
        return components

    def product(self):
        app, w = self.app, self.wix
        # Another product code for every version and every product, so that
        # two products sharing a --name never pass for one.
        product_code = self.guid("product\n%s\n%s\n%s\n%s\n%s" % (
            app.version, app.product, app.company, app.name, app.per_machine))
        self.emit('<?xml version="1.0" encoding="utf-8"?>')
        self.emit('<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">')
        self.emit('<Product Id=%s Name=%s Language="1033" Version=%s Manufacturer=%s '
                  'UpgradeCode=%s>' % (w(product_code), w(app.product), w(app.version),
                                       w(app.company), w(app.upgrade_code)))
        self.emit('<Package InstallerVersion="500" Compressed="yes" InstallScope=%s/>'
                  % w("perMachine" if app.per_machine else "perUser"))
        self.emit('<Media Id="1" Cabinet="app.cab" EmbedCab="yes"/>')
        self.emit('<MajorUpgrade DowngradeErrorMessage="A newer version of [ProductName] is '
                  'already installed."/>')
        self.emit('<Icon Id="launcher.ico" SourceFile=%s/>'
                  % w("files/" + ident("f", app.name + ".exe")))
        self.emit('<Property Id="ARPPRODUCTICON" Value="launcher.ico"/>')
        self.emit('<Binary Id="stepsscript" SourceFile="steps.js"/>')
        for index, (program, _) in enumerate(app.shortcuts):
            self.emit('<Icon Id="launcher%d.ico" SourceFile=%s/>'
                      % (index, w("files/" + ident("f", program + ".exe"))))
        self.emit('<Directory Id="TARGETDIR" Name="SourceDir">')
        if app.per_machine:
            self.emit('<Directory Id="ProgramFiles64Folder">')
        else:
            self.emit('<Directory Id="LocalAppDataFolder"><Directory Id="ProgramsFolder" '
                      'Name="Programs">')
        self.emit('<Directory Id="INSTALLDIR" Name=%s>' % w(app.product))
        self.directory("", 1)
        self.integration()
        defaults = self.defaults()
        self.emit('</Directory>')
        self.emit('</Directory>' if app.per_machine else '</Directory></Directory>')
        self.emit('<Directory Id="ProgramMenuFolder"/>')
        self.emit('<Directory Id="DesktopFolder"/>')
        self.emit('</Directory>')
        self.emit('<Feature Id="Main" Level="1">')
        for component in self.components + ["integration"] + defaults:
            self.emit('<ComponentRef Id=%s/>' % w(component))
        self.emit('</Feature>')
        self.emit('</Product>')
        self.emit('</Wix>')
        return "\n".join(self.lines) + "\n"


def left_files(application, directories):
    """The files the launchers leave beside themselves, each by name:
    Windows Installer under Wine expands no wildcards. A start while an
    earlier application still runs writes java.jar.run.2.* up to .16.*; a
    program with a section of its own names them after itself."""
    names = []
    for prefix in ["java"] + application.programs:
        runs = [prefix + ".jar.run"] + ["%s.jar.run.%d" % (prefix, n) for n in range(2, 17)]
        names += [("INSTALLDIR", base + suffix) for base in runs + [prefix + ".version.check"]
                  for suffix in (".output.file", ".error.file", ".input.file")]
    names.append(("INSTALLDIR", "tavrin.ini.before-upgrade"))
    service = application.service
    if service:
        names.append(("INSTALLDIR", application.name + ".service.log"))
        output = application.name + ".out.log"
        names += [("INSTALLDIR", output)] + [
            ("INSTALLDIR", "%s.%d" % (output, n)) for n in range(1, service["log_keep"] + 1)]
    for given in application.log_files:
        log_file = given.replace("/", "\\").lstrip("\\")
        if not log_file or ":" in log_file or "%" in log_file:
            continue
        folder, _, name = log_file.rpartition("\\")
        folder = folder.replace("\\", "/")
        if folder in directories and in_code_page(name):
            names.append((directories[folder], name))
        else:
            why = ("is in a folder the package does not make" if folder not in directories else
                   "has characters outside Windows code page 1252, which the package cannot name")
            print("package.sh: warning: log-file '%s' %s: the uninstall leaves it" % (given, why),
                  file=sys.stderr)
    # Every folder of the package, once empty (an empty name: the folder).
    names += [(identifier, "") for relative, identifier in
              sorted(directories.items(), reverse=True) if relative]
    return names


def tables(application, writer):
    """The tables wixl does not write, whole."""
    app = application
    result = {"RemoveFile": (
        ["FileKey", "Component_", "FileName", "DirProperty", "InstallMode"],
        ["s72", "s72", "L255", "s72", "i2"], "RemoveFile\tFileKey",
        [("runtime%d" % i, "integration", name, folder, "2")
         for i, (folder, name) in enumerate(left_files(app, writer.directories))])}
    if app.tools:
        # The tools' folder on PATH, the user's or the machine's: added on
        # install ([~] is the value there already), taken off on uninstall.
        result["Environment"] = (
            ["Environment", "Name", "Value", "Component_"], ["s72", "l255", "L255", "s72"],
            "Environment\tEnvironment",
            [("toolsonpath", "=-*PATH" if app.per_machine else "=-PATH", "[~];[INSTALLDIR]",
              "integration")])
    if app.associations:
        # Who holds each extension before the install, the user's classes
        # and the machine's.
        searches = [("HELD%s%d" % (scope, i), root, "Software\\Classes\\" + extension)
                    for i, (_, extension, _) in enumerate(app.associations)
                    for scope, root in (("USER", "1"), ("MACHINE", "2"))]
        result["AppSearch"] = (["Property", "Signature_"], ["s72", "s72"],
                               "AppSearch\tProperty\tSignature_",
                               [(p, p.lower()) for p, _, _ in searches])
        result["RegLocator"] = (["Signature_", "Root", "Key", "Name", "Type"],
                                ["s72", "i2", "s255", "S255", "I2"], "RegLocator\tSignature_",
                                [(p.lower(), root, key, "", "18") for p, root, key in searches])
    actions, texts = custom_actions(app, writer.formatted)
    result["CustomAction"] = (["Action", "Type", "Source", "Target"], ["s72", "i2", "S72", "S255"],
                              "CustomAction\tAction", actions)
    result["ActionText"] = (["Action", "Description", "Template"], ["s72", "L0", "L0"],
                            "ActionText\tAction", texts)
    return result


def package(application, wix, formatted, registry_value):
    """The WiX text, the tables msibuild adds whole, and the files the text
    names (by id: the path in the folder)."""
    writer = Writer(application, wix, formatted, registry_value)
    text = writer.product()
    return text, tables(application, writer), writer.files


# Custom action types: an executable with a command line, in a folder (34),
# its exit code ignored (64); deferred, in the install's script (1024),
# without impersonation, with the installer's own rights under UAC (2048);
# a rollback step (256), which runs only when the install is undone.
IMMEDIATE = 34 + 64
IN_SCRIPT = IMMEDIATE + 1024 + 2048
ROLLBACK = IN_SCRIPT + 256
# A JScript function of the Binary table (5), in the script likewise; a
# property set from a formatted text (51).
SCRIPT_IN_SCRIPT = 5 + 64 + 1024 + 2048
SET_PROPERTY = 51

# The package's script steps (Wine's command prompt can neither compare
# files nor loop over a command's output; its script host can). tavrin.ini
# is kept aside only when it differs from what this version installed, the
# java-location lines the launcher writes left out. The service's stop
# waits until it has stopped or is gone, where Windows Installer's own stop
# waits at most 30 seconds and Wine's (and Wine's net stop) not at all.
STEPS_SCRIPT = r"""function text(files, path) {
  var file = files.OpenTextFile(path, 1, false, 0), read = file.AtEndOfStream ? "" : file.ReadAll();
  file.Close();
  return read.replace(/^[ \t]*java-location[ \t]*=[^\r\n]*(\r\n|\n|\r)?/gm, "");
}
function RestoreSettings() {
  var paths = Session.Property("CustomActionData").split("|");
  var files = new ActiveXObject("Scripting.FileSystemObject");
  if (!files.FileExists(paths[0])) return 1;
  if (files.FileExists(paths[1]) && text(files, paths[0]) == text(files, paths[1])) {
    files.DeleteFile(paths[0], true);
  } else {
    if (files.FileExists(paths[2])) files.DeleteFile(paths[2], true);
    files.MoveFile(paths[0], paths[2]);
  }
  return 1;
}
function StopTheService() {
  var name = Session.Property("CustomActionData"), second = 0;
  var query = "SELECT Name FROM Win32_Service WHERE State<>'Stopped' AND Name='" +
              name.replace(/\\/g, "\\\\").replace(/'/g, "\\'") + "'";
  try {
    var shell = new ActiveXObject("WScript.Shell");
    var services = new ActiveXObject("WbemScripting.SWbemLocator").ConnectServer(".", "root\\cimv2");
    var running = services.ExecQuery(query).Count > 0;
    shell.Run("net stop \"" + name + "\"", 0, true);
    while (second++ < 330 && services.ExecQuery(query).Count > 0)
      shell.Run("ping -n 2 127.0.0.1", 0, true);
    if (running) shell.Run("ping -n 2 127.0.0.1", 0, true); // its process ends a moment later
  } catch (fault) {
  }
  return 1;
}
"""
UPGRADE = "WIX_UPGRADE_DETECTED"
CMD = '"[System64Folder]cmd.exe" /c '
SC = '"[System64Folder]sc.exe" '


def custom_actions(application, formatted):
    """The steps that change the machine: keeping an edited tavrin.ini over
    an upgrade, and stopping and starting the service, each with its undo.
    Rows (Action, Type, Source, Target), and their texts."""
    kept = "[TempFolder]tavrin-%s.ini" % application.upgrade_code
    ini, aside = "[INSTALLDIR]tavrin.ini", "[INSTALLDIR]tavrin.ini.before-upgrade"
    steps = [
        # Before the old version's removal, which Wine's installer runs at
        # once, not in the script: a copy that only reads the install
        # folder, which every user may.
        ("KeepSettings", IMMEDIATE, CMD + 'if exist "%s" copy /y "%s" "%s"' % (ini, ini, kept),
         "Keeping tavrin.ini, which the upgrade replaces"),
        ("RestoreSettingsUndo", ROLLBACK, CMD + 'del /q "%s"' % aside, ""),
        # Its paths, for the script step, which reads no property but this.
        ("RestoreSettingsData", SET_PROPERTY, "|".join((kept, ini, aside)), "RestoreSettings"),
        ("RestoreSettings", SCRIPT_IN_SCRIPT, "RestoreSettings",
         "The tavrin.ini before the upgrade, where it differs, is tavrin.ini.before-upgrade")]
    service = application.service
    if service:
        name = formatted(service["name"])
        steps += [
            ("StopTheServiceUndo", ROLLBACK, SC + 'start "%s"' % name, ""),
            ("StopTheServiceData", SET_PROPERTY, name, "StopTheService"),
            ("StopTheService", SCRIPT_IN_SCRIPT, "StopTheService",
             "Stopping the service %s" % service["name"]),
            ("StartTheServiceUndo", ROLLBACK, SC + 'stop "%s"' % name, ""),
            ("StartTheService", IN_SCRIPT, SC + 'start "%s"' % name,
             "Starting the service %s" % service["name"])]
    # A property step's text is the step whose data it sets.
    sources = {SET_PROPERTY: None, SCRIPT_IN_SCRIPT: "stepsscript"}
    return ([(action, str(kind), sources.get(kind, "TARGETDIR") or text, target)
             for action, kind, target, text in steps],
            [(action, text, "") for action, kind, _, text in steps
             if text and kind != SET_PROPERTY])


def added_rows(application):
    """Rows added to tables wixl wrote."""
    rows = {}
    if application.tools:
        rows["InstallExecuteSequence"] = [("RemoveEnvironmentStrings", "", 3300),
                                          ("WriteEnvironmentStrings", "", 5200)]
    if application.associations:
        rows.setdefault("InstallExecuteSequence", []).append(("AppSearch", "", 50))
        rows["InstallUISequence"] = [("AppSearch", "", 50)]
    return rows


def default_conditions(application):
    """The default goes to the application only when nobody holds the
    extension (or it already has it), unless asked."""
    conditions = {}
    for i, (kind, _, _) in enumerate(application.associations):
        if kind == "open-with":
            klass = application.name + application.associations[i][1]
            conditions["default%d" % i] = " AND ".join(
                '(NOT HELD%s%d OR HELD%s%d = "%s")' % (scope, i, scope, i, klass)
                for scope in ("USER", "MACHINE"))
    return conditions


def schedule(application, work):
    """tavrin.ini kept before the old version's removal (1401); in the
    script, the service stopped before its files go (by the uninstall, also
    the one an upgrade runs of the old version), tavrin.ini restored and the
    service started before InstallFinalize (6600)."""
    steps = [("KeepSettings", UPGRADE, 1390), ("RestoreSettingsUndo", UPGRADE, 6589),
             ("RestoreSettingsData", UPGRADE, 6590), ("RestoreSettings", UPGRADE, 6591)]
    if application.service:
        steps += [("StopTheServiceUndo", 'REMOVE="ALL"', 1502),
                  ("StopTheServiceData", 'REMOVE="ALL"', 1503),
                  ("StopTheService", 'REMOVE="ALL"', 1504),
                  ("StartTheServiceUndo", "NOT REMOVE", 6592),
                  ("StartTheService", "NOT REMOVE", 6593)]
    work.add_rows("InstallExecuteSequence", steps)
    conditions = default_conditions(application)
    if conditions:
        lines = work.export("Component").split("\r\n")
        for at, line in enumerate(lines):
            fields = line.split("\t")
            if len(fields) == 6 and fields[0] in conditions:
                fields[4] = conditions[fields[0]]
                lines[at] = "\t".join(fields)
        work.replace_table("Component", "\r\n".join(lines))
