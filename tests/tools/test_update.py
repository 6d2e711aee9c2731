import base64
import datetime
import hashlib
import os
import shutil
import subprocess

import pytest

from conftest import SOURCE, launcher, run_tool, table

FEED = "https://example.com/example/Server.update"


def key(folder, name, curve="prime256v1"):
    path = folder / name
    subprocess.run(["openssl", "ecparam", "-name", curve, "-genkey", "-noout", "-out", str(path)],
                   check=True, capture_output=True)
    return path


def public(path):
    printed = subprocess.run(["openssl", "pkey", "-in", str(path), "-pubout"], check=True,
                             capture_output=True, text=True).stdout
    return "".join(printed.splitlines()[1:-1])


def application(tree, signing, feed=FEED, updater=True):
    app = tree / "app"
    os.makedirs(app / "lib")
    shutil.copyfile(launcher(), app / "Server.exe")
    if updater:
        shutil.copyfile(os.path.join(SOURCE, "dist", "tavrin-update.exe"), app / "tavrin-update.exe")
    (app / "lib" / "app.jar").write_bytes(b"jar")
    (app / "tavrin.ini").write_bytes((
        "[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=11\r\nwait-for-exit=0\r\n"
        "ask-for-java-location=0\r\nallow-newer-version=1\r\nupdate-feed=%s\r\n"
        "update-key=%s\r\n" % (feed, public(signing))).encode())
    return app


def package(tree, *options):
    return run_tool(tree, "package", "--app-dir", "app", "--name", "Server", "--version",
                    "1.0.0", *options)


def test_the_feed_is_signed_and_names_the_package(tree):
    signing = key(tree, "signing.pem")
    application(tree, signing)
    done = package(tree, "--update-feed", FEED, "--update-signing-key", "signing.pem",
                   "--upgrade-code", "0123ABCD-89AB-CDEF-0123-456789ABCDEF")
    assert done.returncode == 0, done.stderr
    msi = (tree / "dist" / "Server-1.0.0.msi").read_bytes()
    feed = (tree / "dist" / "Server-1.0.0.update").read_bytes()
    until = datetime.date.today() + datetime.timedelta(days=180)
    lines = ("version=1.0.0\npackage=Server-1.0.0.msi\nsize=%d\nsha256=%s\n"
             "upgrade-code=0123ABCD-89AB-CDEF-0123-456789ABCDEF\nvalid-until=%s\n" % (
                 len(msi), hashlib.sha256(msi).hexdigest(), until.isoformat())).encode()
    assert feed.startswith(lines + b"signature=") and feed.endswith(b"\n")
    # Its signature: r and s, which the end-to-end test verifies as the updater does.
    assert len(base64.b64decode(feed[len(lines) + 10:])) == 64
    assert "Built dist/Server-1.0.0.update: the signed feed of 1.0.0" in done.stdout
    # Where the updater finds the product the feed names.
    rows = [row for row in table(tree / "dist" / "Server-1.0.0.msi", "Registry")
            if "tavrin" in row[2]]
    assert [row[1:5] for row in rows] == [
        ["1", "Software\\tavrin\\Updates\\[\\{]0123ABCD-89AB-CDEF-0123-456789ABCDEF[\\}]",
         "InstallFolder", "[INSTALLDIR]"]]


@pytest.mark.parametrize("change, options, why", [
    (None, ["--update-feed", FEED], "--update-feed and --update-signing-key go together"),
    (None, ["--update-feed", "http://example.com/a.update", "--update-signing-key", "signing.pem"],
     "--update-feed 'http://example.com/a.update' is not an https:// address"),
    (None, ["--update-feed", FEED + "2", "--update-signing-key", "signing.pem"],
     "tavrin.ini's update-feed is '%s', not --update-feed '%s2'" % (FEED, FEED)),
    (None, ["--update-feed", FEED, "--update-signing-key", "none.pem"],
     "--update-signing-key '%s' is not a readable file"),
    (None, ["--update-feed", FEED, "--update-signing-key", "other.pem"],
     "tavrin.ini's update-key is not the public half of --update-signing-key"),
    (None, ["--update-feed", FEED, "--update-signing-key", "p384.pem"],
     "is not an ECDSA P-256 key"),
    (None, ["--update-feed", FEED, "--update-signing-key", "tavrin.ini"],
     "is not a private key openssl reads"),
    (None, ["--update-feed", FEED, "--update-signing-key", "signing.pem",
            "--update-valid-days", "0"],
     "--update-valid-days '0' is not a number of days from 1 to 3650"),
    ("no updater", ["--update-feed", FEED, "--update-signing-key", "signing.pem"],
     "has no tavrin-update.exe: copy it there from dist/"),
    ("version", ["--update-feed", FEED, "--update-signing-key", "signing.pem"],
     "Server.exe's version is 1.0.0.0, not --version 1.1.0"),
])
def test_what_an_update_feed_refuses(tree, change, options, why):
    signing = key(tree, "signing.pem")
    key(tree, "other.pem")
    key(tree, "p384.pem", "secp384r1")
    (tree / "tavrin.ini").write_bytes(b"[tavrin]\r\n")  # no key, for openssl
    app = application(tree, signing, updater=change != "no updater")
    version = ["--version", "1.1.0"] if change == "version" else []
    done = run_tool(tree, "package", "--app-dir", "app", "--name", "Server", "--version", "1.0.0",
                    *version, *options)
    assert done.returncode == 2
    expected = why % os.path.join(str(tree), "none.pem") if "%s" in why else why
    assert expected in done.stderr
    assert not (tree / "dist").exists() or not os.listdir(tree / "dist")
    assert app.is_dir()
