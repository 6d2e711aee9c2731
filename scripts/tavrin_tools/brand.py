"""brand: dist/NAME.exe, the launcher (or with --console the console one)
under the author's name, icon, version and texts, built in build/brand/."""

import os
import re
import shutil
import subprocess
import sys

from . import icon
from .checks import check_file_name, check_text, refuse, without_exe
from .options import Options

USAGE = """usage: scripts/brand.sh --name NAME [--console] [--icon FILE.ico|FILE.png]
         [--version A.B.C.D] [--product TEXT] [--company TEXT] [--description TEXT] [--copyright TEXT]"""


def read_options(arguments, repository, caller):
    options = Options(USAGE, flags=["--console"], values=[
        "--name", "--icon", "--version", "--product", "--company", "--description",
        "--copyright"]).parse(arguments)
    options.setdefault("--icon", os.path.join(repository, "resources", "tavrin.ico"))
    options.setdefault("--version", "1.0.0.0")
    if not options.get("--name"):
        options.usage()
    options["--icon"] = os.path.join(caller, options["--icon"])
    return options


def four_numbers(version):
    """Four numbers from 0 to 65535, leading zeros dropped."""
    if not re.fullmatch(r"[0-9]{1,5}\.[0-9]{1,5}\.[0-9]{1,5}\.[0-9]{1,5}", version):
        refuse("--version '%s' is not four numbers such as 2.4.1.0" % version)
    numbers = [int(number) for number in version.split(".")]
    for number in numbers:
        if number > 65535:
            refuse("--version '%s': %d is above 65535" % (version, number))
    return ".".join(str(number) for number in numbers)


def check_name(name):
    check_file_name("--name", name)
    without_exe("--name", name)
    if len(name.encode("utf-8")) > 200:
        refuse("--name is longer than 200 bytes")
    # dist/tavrin.exe and dist/tavrinc.exe are the project's own launchers.
    if name.lower() in ("tavrin", "tavrinc"):
        refuse("--name '%s' is the project's own launcher, dist/%s.exe: choose another name"
               % (name, name))


def icon_bytes(path):
    """The .ico the build takes: the author's own, or one made of a PNG."""
    if not os.path.isfile(path) or not os.access(path, os.R_OK):
        refuse("--icon '%s' is not a readable file" % path)
    with open(path, "rb") as file:
        data = file.read()
    if data[:8] != icon.PNG_SIGNATURE:
        icon.check_ico("--icon", path, data)
        return data
    side = icon.png_side("--icon", path, data)
    if side < 256:
        print("brand.sh: warning: --icon '%s' is %dx%d: it is scaled up to 256x256 and looks "
              "blurred; a PNG of at least 256x256 pixels is sharper" % (path, side, side),
              file=sys.stderr)
    return icon.ico_from_png("--icon", path, data)


def build(repository, options, texts, ico):
    """The build in a folder of the brand's own, its paths in plain
    characters (CMake and Ninja read ; $ and others as syntax); the name
    reaches only the version block and the file in dist/."""
    name = options["--name"]
    folder = os.path.join("build", "brand", re.sub(r"[^A-Za-z0-9._ -]", "_", name))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "brand.ico"), "wb") as file:
        file.write(ico)
    defines = {
        "CMAKE_TOOLCHAIN_FILE": os.path.join(repository, "cmake", "mingw-w64-x86_64.cmake"),
        "CMAKE_BUILD_TYPE": "Release", "TAVRIN_BUILD_TESTS": "OFF", "TAVRIN_BUILD_DEMO": "OFF",
        "TAVRIN_DIST_DIR": os.path.join(repository, folder, "out"), "TAVRIN_EXE_NAME": name,
        "TAVRIN_OUTPUT_NAME": "launcher", "TAVRIN_CONSOLE_EXE_NAME": name,
        "TAVRIN_CONSOLE_OUTPUT_NAME": "launcherc",
        "TAVRIN_ICON": os.path.join(repository, folder, "brand.ico"),
        "TAVRIN_VERSION": texts["version"], "TAVRIN_PRODUCT": texts["product"],
        "TAVRIN_COMPANY": texts["company"], "TAVRIN_DESCRIPTION": texts["description"],
        "TAVRIN_COPYRIGHT": texts["copyright"]}
    console = "--console" in options
    subprocess.run(["cmake", "-S", ".", "-B", folder, "-G", "Ninja"] +
                   ["-D%s=%s" % item for item in defines.items()],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", folder, "--target", "tavrinc" if console else "tavrin"],
                   check=True, stdout=subprocess.DEVNULL)
    os.makedirs("dist", exist_ok=True)
    built = os.path.join(repository, "dist", name + ".exe")
    shutil.copyfile(os.path.join(folder, "out", ("launcherc" if console else "launcher") + ".exe"),
                    built)
    return built


def main(arguments, repository, caller):
    options = read_options(arguments, repository, caller)
    name = options["--name"]
    check_name(name)
    product = options.get("--product") or name
    texts = {"product": product, "company": options.get("--company", ""),
             "description": options.get("--description") or product,
             "copyright": options.get("--copyright", "")}
    for key in ("product", "company", "description", "copyright"):
        check_text("--" + key, texts[key])
    texts["version"] = four_numbers(options["--version"])
    built = build(repository, options, texts, icon_bytes(options["--icon"]))
    print("Built %s: %s %s (%d bytes)." % (built, product, texts["version"],
                                            os.path.getsize(built)))
    print("Put it in the application's folder beside tavrin.ini, then sign it, for example:")
    print("  osslsigncode sign -pkcs12 my-certificate.p12 -pass ... -h sha256 \\")
    print("    -n \"%s\" -t http://timestamp.digicert.com \\" % product)
    print("    -in \"%s\" -out \"%s-signed.exe\"" % (built, name))
    print("Sign after branding: changing the resources afterwards breaks the signature.")
    return 0
