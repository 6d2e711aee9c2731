"""The package built: wixl from the WiX text, msibuild the rows wixl cannot
write; a value reaches a table through the function for its column."""

import hashlib
import os
import shutil
import subprocess
import tempfile
import uuid
from xml.sax.saxutils import quoteattr

from . import wxs
from .checks import in_code_page, refuse

# wixl's preprocessor reads $$ as $, except before "(": there it reads a
# variable, and nothing writes "$(". Such text goes in with this stand-in,
# which every table gets back (see restore_stand_ins); none may remain.
STAND_IN = "TAVRIN5E2CDOLLARPAREN"


def wix(text):
    """An attribute of the WiX text, as wixl's preprocessor reads it."""
    return quoteattr(text.replace("$(", STAND_IN).replace("$", "$$"))


def formatted(text):
    """A Formatted column: [ ] { } are Windows Installer's syntax there."""
    return "".join("[\\%s]" % c if c in "[]{}" else c for c in text)


def registry_value(text):
    """A Registry value: formatted, and a leading # (a number's mark)
    doubled."""
    return ("#" if text.startswith("#") else "") + formatted(text)


def idt_field(text):
    """A field of an .idt file, in the package's code page."""
    if "\t" in text or "\n" in text or "\r" in text or not in_code_page(text):
        raise ValueError(text)
    return text


def write_table(path, header, types, key, rows):
    with open(path, "w", encoding="cp1252", newline="\r\n") as idt:
        idt.write("\t".join(header) + "\n" + "\t".join(types) + "\n" + key + "\n")
        for row in rows:
            idt.write("\t".join(idt_field(field) for field in row) + "\n")


class Work:
    """The package's work folder, and the tools that write into it."""

    def __init__(self, folder, msi_name):
        self.folder, self.msi = folder, msi_name

    def path(self, *parts):
        return os.path.join(self.folder, *parts)

    def run(self, what, *command):
        done = subprocess.run(command, cwd=self.folder, capture_output=True, text=True,
                              errors="replace")
        if done.returncode != 0:
            refuse("%s: %s" % (what, (done.stderr or done.stdout).strip()))
        return done.stdout

    def add_table(self, file_name):
        self.run("msibuild could not add the table " + file_name, "msibuild", self.msi, "-i",
                 file_name)

    def export(self, table):
        done = subprocess.run(["msiinfo", "export", self.msi, table], cwd=self.folder,
                              capture_output=True)
        return done.stdout.decode("cp1252") if done.returncode == 0 else None

    def replace_table(self, table, text):
        with open(self.path(table + ".idt"), "w", encoding="cp1252", newline="") as idt:
            idt.write(text)
        self.add_table(table + ".idt")

    def add_rows(self, table, rows):
        """The table as wixl wrote it, with rows added."""
        text = self.export(table)
        if text is None:
            refuse("msiinfo could not read the table " + table)
        self.replace_table(table, text + "".join(
            "\t".join(idt_field(str(field)) for field in row) + "\r\n" for row in rows))


def restore_stand_ins(work):
    """Every table that holds the stand-in gets "$(" back; none keeps it."""
    for table in work.run("msiinfo could not list the tables", "msiinfo", "tables",
                          work.msi).split():
        text = work.export(table) if not table.startswith("_") else None
        if text and STAND_IN in text:
            work.replace_table(table, text.replace(STAND_IN, "$("))
            if STAND_IN in (work.export(table) or ""):
                refuse("the table %s keeps a stand-in for $(" % table)


def stage(application, files, work, signer):
    """The files the WiX text names, under their ids, so that no name of the
    author's reaches a path wixl reads; the programs signed."""
    os.makedirs(work.path("files"))
    for identifier, relative in files.items():
        shutil.copyfile(os.path.join(application.app_dir, relative), work.path("files", identifier))
    if signer:
        for program in application.programs:
            what = "the launcher" if program == application.name else program + ".exe"
            signer.sign(work.path("files", wxs.ident("f", program + ".exe")), what)


def package_code(work):
    """One derived from the content, so that the same inputs give the same
    code (wixl picks a random one; its time stamps stay wixl's)."""
    digest = hashlib.sha1()
    with open(work.path("package.wxs"), "rb") as text:
        digest.update(text.read())
    for name in sorted(os.listdir(work.path("files"))):
        with open(work.path("files", name), "rb") as file:
            digest.update(name.encode() + hashlib.sha1(file.read()).digest())
    return str(uuid.UUID(bytes=digest.digest()[:16], version=5)).upper()


def build(application, signer, msi_name):
    os.makedirs(os.path.join("build", "package"), exist_ok=True)
    os.makedirs("dist", exist_ok=True)
    # An earlier build's package of this version would pass for this one's.
    if os.path.exists(os.path.join("dist", msi_name)):
        os.remove(os.path.join("dist", msi_name))
    with tempfile.TemporaryDirectory(prefix="build.", dir=os.path.join("build", "package")) as f:
        work = Work(f, msi_name)
        text, tables, files = wxs.package(application, wix, formatted, registry_value)
        stage(application, files, work, signer)
        with open(work.path("package.wxs"), "w", encoding="utf-8") as out:
            out.write(text)
        with open(work.path("steps.js"), "w", encoding="ascii", newline="\r\n") as out:
            out.write(wxs.STEPS_SCRIPT)
        work.run("wixl could not build the package", "wixl", "-a", "x64", "-o", msi_name,
                 "package.wxs")
        if STAND_IN in text:
            restore_stand_ins(work)
        for name, (header, types, key, rows) in tables.items():
            write_table(work.path(name + ".idt"), header, types, key, rows)
            work.add_table(name + ".idt")
        for table, rows in wxs.added_rows(application).items():
            work.add_rows(table, rows)
        wxs.schedule(application, work)
        work.run("msibuild could not set the package code", "msibuild", msi_name, "-s",
                 application.product, application.company, "x64;1033",
                 "{%s}" % package_code(work))
        if signer:
            signer.sign(work.path(msi_name), "the package")
        shutil.copyfile(work.path(msi_name), os.path.join("dist", msi_name))
