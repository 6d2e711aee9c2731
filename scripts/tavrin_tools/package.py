"""package: an application folder packed into dist/NAME-VERSION.msi; the
input checked into an Application (plain data), which msi.py packs."""

import hashlib
import os
import re
import sys
import types

from . import msi, pe, signing, update
from .checks import (Refusal, check_code_page, check_file_name, check_text, refuse,
                     without_exe)
from .files import check_folder
from .options import Options
from .settings import Settings

USAGE = """usage: scripts/package.sh --app-dir DIR --name NAME --version A.B.C [--product TEXT]
         [--company TEXT] [--per-machine] [--desktop-shortcut]
         [--associate .EXT=DESCRIPTION]... [--associate-default .EXT=DESCRIPTION]...
         [--url-protocol SCHEME] [--upgrade-code GUID]
         [--launcher NAME[=SHORTCUT TEXT]]... [--tool NAME]...
         [--service [--service-display-name TEXT] [--service-description TEXT]]
         [--sign-pkcs12 FILE --sign-password-file FILE]
         [--timestamp-url URL | --timestamp-rfc3161 URL] [--timestamp-timeout SECONDS]
         [--update-feed URL --update-signing-key KEY.pem [--update-valid-days DAYS]]"""

WINDOWS_EXTENSIONS = set(
    ".exe .com .bat .cmd .lnk .msi .msp .ps1 .psm1 .vbs .vbe .js .jse .wsf .wsh .scr .pif .cpl "
    ".dll .sys .reg .url .hta .msc".split())
WINDOWS_SCHEMES = set(
    "http https file ftp ftps mailto news nntp telnet ldap tel sms callto javascript vbscript "
    "data about res shell ms-settings search-ms".split())


# What the package installs, and how: every value as the author gave it.
Application = types.SimpleNamespace


def read_options(arguments, caller):
    options = Options(
        USAGE, flags=["--per-machine", "--desktop-shortcut", "--service"],
        values=["--app-dir", "--name", "--version", "--product", "--company", "--url-protocol",
                "--upgrade-code", "--service-description", "--service-display-name",
                "--sign-pkcs12", "--sign-password-file", "--timestamp-url", "--timestamp-rfc3161",
                "--timestamp-timeout", "--update-feed", "--update-signing-key",
                "--update-valid-days"],
        lists=["--associate", "--associate-default", "--launcher", "--tool"])
    options.parse(arguments)
    if not (options.get("--app-dir") and options.get("--name") and options.get("--version")):
        options.usage()
    for key in ("--app-dir", "--sign-pkcs12", "--sign-password-file", "--update-signing-key"):
        if key in options:
            options[key] = os.path.join(caller, options[key])
    return options


def three_numbers(version):
    """Three numbers, as Windows Installer takes them: 255.255.65535."""
    if not re.fullmatch(r"[0-9]{1,5}\.[0-9]{1,5}\.[0-9]{1,5}", version):
        refuse("--version '%s' is not three numbers such as 2.4.1" % version)
    numbers = [int(n) for n in version.split(".")]
    for which, number, highest in zip(("first", "second", "third"), numbers, (255, 255, 65535)):
        if number > highest:
            refuse("--version '%s': the %s number is above %d" % (version, which, highest))
    return ".".join(str(n) for n in numbers)


def check_app_dir(app_dir, name, repository):
    if not (os.path.isdir(app_dir) and os.access(app_dir, os.R_OK | os.X_OK)):
        refuse("--app-dir '%s' is not a readable folder" % app_dir)
    real = os.path.realpath(app_dir)
    # The tool's own folders: packing them would delete or ship its output.
    for own in (os.path.join(repository, "dist"), os.path.join(repository, "build", "package")):
        if (real + "/").startswith(own + "/"):
            refuse("--app-dir '%s' is in %s, which this script writes" % (app_dir, own))
        if (own + "/").startswith(real + "/"):
            refuse("--app-dir '%s' holds %s, which this script writes" % (app_dir, own))
    if not os.path.isfile(os.path.join(app_dir, name + ".exe")):
        refuse("--app-dir '%s' has no launcher %s.exe" % (app_dir, name))
    if not os.path.isfile(os.path.join(app_dir, "tavrin.ini")):
        refuse("--app-dir '%s' has no tavrin.ini" % app_dir)


class Programs:
    """NAME.exe, each --launcher and each --tool: in the folder, each of its
    kind and under a name of its own; the shortcuts' texts told apart."""

    def __init__(self, app_dir, name, product):
        self.app_dir = app_dir
        self.taken = {name.lower()}
        self.texts = {product.lower()}

    def is_console(self, program):
        return pe.subsystem(os.path.join(self.app_dir, program + ".exe")) == pe.CONSOLE

    def check(self, option, program):
        check_file_name(option, program)
        check_code_page(option, program)
        without_exe(option, program)
        if not os.path.isfile(os.path.join(self.app_dir, program + ".exe")):
            refuse("%s '%s': --app-dir '%s' has no launcher %s.exe"
                   % (option, program, self.app_dir, program))
        if program.lower() in self.taken:
            refuse("%s '%s': %s.exe is already given (as --name, --launcher or --tool); each "
                   "program is given once" % (option, program, program))
        self.taken.add(program.lower())

    def launcher(self, entry):
        program, given, text = entry.partition("=")
        self.check("--launcher", program)
        if self.is_console(program):
            refuse("--launcher %s: %s.exe is a console launcher: give it as --tool"
                   % (program, program))
        if not (given and text):
            text = pe.version_text(os.path.join(self.app_dir, program + ".exe")) or program
        option = "--launcher %s: the shortcut" % program
        check_file_name(option, text)
        check_code_page(option, text)
        if text.lower() in self.texts:
            refuse("--launcher %s: its shortcut '%s' has the name of another shortcut: give one "
                   "with --launcher %s=TEXT" % (program, text, program))
        self.texts.add(text.lower())
        return program, text

    def tool(self, program):
        self.check("--tool", program)
        if not self.is_console(program):
            refuse("--tool %s: %s.exe is a windowed launcher: a command prompt does not wait "
                   "for it nor show its output; give it as --launcher" % (program, program))
        return program


def check_settings(ini, program, kind, main):
    """A program whose settings the launcher refuses starts nothing."""
    exe = program + ".exe"
    for_program = "" if main else " for " + exe
    ways = sum([ini.has("jar-file-name", exe), ini.value("main-class", exe) != "",
                ini.value("module", exe) != ""])
    if ways == 0:
        refuse("tavrin.ini%s gives no jar-file-name, main-class or module: the launcher would "
               "start nothing" % for_program)
    if ways > 1:
        refuse("tavrin.ini%s gives more than one of jar-file-name, main-class and module: the "
               "launcher would refuse it" % for_program)
    for key in ("min-java-version", "ask-for-java-location", "allow-newer-version",
                "wait-for-exit"):
        # The console launcher, a service and a start in process need none.
        if key == "wait-for-exit" and (kind != "windowed" or ini.value("in-process", exe) == "1"):
            continue
        if not ini.has(key, exe):
            refuse("tavrin.ini%s has no %s, which the launcher requires: it would refuse to "
                   "start" % (for_program, key))


def read_service(options, ini, name):
    """The service: installed for the machine, under the name the launcher
    takes from tavrin.ini."""
    if "--service" not in options:
        for option in ("--service-description", "--service-display-name"):
            if option in options:
                refuse("%s goes with --service" % option)
        return None
    if "--per-machine" not in options:
        refuse("--service needs --per-machine: a Windows service is installed for the whole "
               "machine")
    service_name = ini.value("service-name", name + ".exe")
    if not service_name:
        refuse("--service needs service-name in tavrin.ini: the launcher is the service of that "
               "name")
    if any(c in '/\\"' for c in service_name):
        refuse("tavrin.ini: service-name '%s' is not a service name the package can install "
               "(no / \\ or \")" % service_name)
    if len(service_name) > 256:
        refuse("tavrin.ini: service-name is longer than 256 characters, more than Windows takes")
    display = options.get("--service-display-name") or service_name
    description = options.get("--service-description", "")
    for option, text in (("tavrin.ini: service-name", service_name),
                         ("--service-display-name", display),
                         ("--service-description", description)):
        check_text(option, text)
        check_code_page(option, text)
    return {"name": service_name, "display_name": display, "description": description,
            "log_keep": _number(ini.value("service-log-keep", name + ".exe"), 0, 99, 5)}


def _number(value, lowest, highest, default):
    """A number key as the launcher reads it: its default when it is not one."""
    value = value.strip(" \t")
    return int(value) if value.isdigit() and lowest <= int(value) <= highest else default


def read_associations(options):
    """Each extension once, lower case, with its description and kind."""
    associations, seen = [], {}
    for option, association in options.sequence:
        if option not in ("--associate", "--associate-default"):
            continue
        extension, equals, description = association.partition("=")
        if not re.fullmatch(r"\.[A-Za-z0-9]+", extension):
            refuse("--associate '%s': the extension must be a dot and letters or digits"
                   % association)
        if not (equals and description):
            refuse("--associate '%s': give a description after =" % association)
        check_text("--associate " + extension, description)
        check_code_page("--associate " + extension, description)
        lower = extension.lower()
        if lower in WINDOWS_EXTENSIONS:
            refuse("--associate %s: Windows itself opens %s files; taking them over would break "
                   "the system" % (extension, lower))
        if lower in seen:
            if seen[lower] == description:
                continue  # the same twice is one
            refuse("--associate %s: given twice, with different descriptions" % extension)
        seen[lower] = description
        kind = "open-with" if option == "--associate" else "default"
        associations.append((kind, lower, description))
    return associations


def read_protocol(options):
    protocol = options.get("--url-protocol", "")
    if not protocol:
        return ""
    if not re.fullmatch(r"[A-Za-z][A-Za-z0-9+.-]*", protocol):
        refuse("--url-protocol '%s' is not a URL scheme (a letter, then letters, digits, + . -)"
               % protocol)
    lower = protocol.lower()
    if lower in WINDOWS_SCHEMES:
        refuse("--url-protocol %s: the system and other programs open %s links; taking them "
               "over would send the user's links to this application" % (protocol, lower))
    if lower.startswith("ms-"):
        refuse("--url-protocol %s: ms- links belong to Windows" % protocol)
    return protocol


def guid_of(text):
    """A GUID from the bytes of a text (SHA-1, version 5 layout)."""
    digest = hashlib.sha1(text.encode("utf-8")).hexdigest()[:32]
    return ("%s-%s-5%s-8%s-%s" % (digest[:8], digest[8:12], digest[13:16], digest[17:20],
                                 digest[20:32])).upper()


def read_upgrade_code(options, product, name):
    """Every version of one application shares it; by default it follows
    what names the product for its users, --product and --name."""
    given = options.get("--upgrade-code")
    if given is None:
        return guid_of("tavrin upgrade code\n%s\n%s" % (product, name)), False
    bare = given[1:-1] if given.startswith("{") and given.endswith("}") else given
    if not re.fullmatch(r"[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}", bare):
        refuse("--upgrade-code '%s' is not a GUID such as 01234567-89AB-CDEF-0123-456789ABCDEF"
               % given)
    return bare.upper(), True


def read_application(options, repository):
    name = options["--name"]
    product = options.get("--product") or name
    company = options.get("--company") or product
    check_file_name("--name", name)
    check_file_name("--product", product)  # the install folder's name
    check_text("--company", company)
    # Names Windows Installer takes: in the package's code page, not too long.
    for option, text in (("--name", name), ("--product", product), ("--company", company)):
        check_code_page(option, text)
        if len(text) > 128:
            refuse("%s is longer than 128 characters, more than Windows Installer takes for a "
                   "name" % option)
    app_dir = options["--app-dir"]
    check_app_dir(app_dir, name, repository)
    version = three_numbers(options["--version"])
    with open(os.path.join(app_dir, "tavrin.ini"), "rb") as file:
        ini = Settings(file.read())
    programs = Programs(app_dir, name, product)
    service = read_service(options, ini, name)
    if not service and programs.is_console(name):
        refuse("%s.exe is a console launcher: its Start-menu shortcut would open a window that "
               "closes at once; give the windowed launcher as --name (and this one as --tool)"
               % name)
    shortcuts = [programs.launcher(entry) for entry in options["--launcher"]]
    tools = [programs.tool(tool) for tool in options["--tool"]]
    check_settings(ini, name, "service" if service else "windowed", True)
    for program, _ in shortcuts:
        check_settings(ini, program, "windowed", False)
    for tool in tools:
        check_settings(ini, tool, "console", False)
    all_programs = [name] + [program for program, _ in shortcuts] + tools
    associations = read_associations(options)
    protocol = read_protocol(options)
    if (associations or protocol) and ini.value("pass-arguments", name + ".exe") != "1":
        refuse("--associate and --url-protocol need pass-arguments=1 in tavrin.ini: without it "
               "the document or link never reaches the application")
    upgrade_code, upgrade_given = read_upgrade_code(options, product, name)
    updates = update.read_update(options, ini, app_dir, name, version)
    return Application(update=updates,
        name=name, product=product, company=company, version=version, app_dir=app_dir,
        per_machine="--per-machine" in options, desktop="--desktop-shortcut" in options,
        shortcuts=shortcuts, tools=tools, programs=all_programs, associations=associations,
        protocol=protocol, service=service, upgrade_code=upgrade_code,
        upgrade_given=upgrade_given,
        log_files=sorted({ini.value("log-file", p + ".exe") for p in all_programs} - {""}),
        user_settings=ini.value("user-settings", name + ".exe"))


def install_root(application):
    return ("C:\\Program Files\\" if application.per_machine else
            "C:\\Users\\a-twenty-letter-user\\AppData\\Local\\Programs\\") + application.product


def report(application, msi_name):
    print("Built dist/%s: %s %s, %s." % (
        msi_name, application.product, application.version,
        "for all users (Program Files)" if application.per_machine
        else "for the user who installs it"))
    code = application.upgrade_code
    if application.upgrade_given:
        print("Upgrade code: {%s}." % code)
    else:
        print("Upgrade code: {%s}, made from --product and --name. Every later version must "
              "carry it, or it installs beside this one: pin it with --upgrade-code {%s}."
              % (code, code))
    if application.tools:
        print("The tools (%s) run from a command prompt opened after the install: the install "
              "folder is on %s." % (" ".join(application.tools),
                                   "the machine's PATH" if application.per_machine
                                   else "the user's PATH"))
    print("Test it with: msiexec /i %s /qn, and uninstall with msiexec /x %s /qn"
          % (msi_name, msi_name))


def main(arguments, repository, caller):
    options = read_options(arguments, caller)
    application = read_application(options, repository)
    signer = signing.read_signer(options, application.product)
    if application.per_machine and not application.user_settings:
        print("package.sh: warning: a per-machine install without user-settings in tavrin.ini: "
              "users cannot write tavrin.ini under Program Files, so nothing is remembered and "
              "users have no settings of their own", file=sys.stderr)
    check_folder(application.app_dir, install_root(application))
    msi_name = "%s-%s.msi" % (application.name, application.version)
    msi.build(application, signer, msi_name)
    if application.update:
        try:
            feed_name, until = update.write_feed(application, msi_name)
        except Refusal:
            os.remove(os.path.join("dist", msi_name))
            raise
    report(application, msi_name)
    if application.update:
        print("Built dist/%s: the signed feed of %s, believed until %s. Publish it at %s, and "
              "%s beside it." % (feed_name, application.version, until.isoformat(),
                                 application.update.feed, msi_name))
    return 0

