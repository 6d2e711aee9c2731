"""update: the signed feed of a package (dist/NAME-VERSION.update), and the
checks that the application's settings and launcher fit it."""

import base64
import binascii
import datetime
import hashlib
import os
import re
import subprocess
import types

from . import pe
from .checks import refuse

UPDATER = "tavrin-update.exe"
# SubjectPublicKeyInfo of an uncompressed P-256 point, up to the point's x.
P256_PREFIX = bytes.fromhex("3059301306072a8648ce3d020106082a8648ce3d03010703420004")
LOCAL = re.compile(r"http://(127\.0\.0\.1|localhost)[:/]", re.IGNORECASE)


def key_der(text):
    """update-key as the launcher reads it: the base64 of a public key as
    openssl prints it, with or without its first and last line."""
    body = text.replace("-----BEGIN PUBLIC KEY-----", "").replace("-----END PUBLIC KEY-----", "")
    try:
        return base64.b64decode("".join(body.split()), validate=True)
    except (binascii.Error, ValueError):
        return None


def openssl(why, *arguments, data=None):
    try:
        done = subprocess.run(["openssl"] + list(arguments), input=data, capture_output=True,
                              check=False)
    except OSError:
        refuse("openssl cannot be run: it signs the update feed")
    if done.returncode != 0:
        refuse(why)
    return done.stdout


def check_key(key, ini_key):
    """The signing key is a P-256 private key whose public half is update-key."""
    if not (os.path.isfile(key) and os.access(key, os.R_OK)):
        refuse("--update-signing-key '%s' is not a readable file" % key)
    public = openssl("--update-signing-key '%s' is not a private key openssl reads" % key,
                     "pkey", "-in", key, "-pubout", "-outform", "DER")
    if len(public) != len(P256_PREFIX) + 64 or not public.startswith(P256_PREFIX):
        refuse("--update-signing-key '%s' is not an ECDSA P-256 key: make one with openssl "
               "ecparam -name prime256v1 -genkey -noout -out update-signing.pem" % key)
    if key_der(ini_key) != public:
        refuse("tavrin.ini's update-key is not the public half of --update-signing-key '%s': "
               "the launchers would believe no feed it signs" % key)


def read_update(options, ini, app_dir, name, version):
    """The feed's options, checked against tavrin.ini and the launcher;
    None without --update-feed."""
    feed, key = options.get("--update-feed"), options.get("--update-signing-key")
    if feed is None and key is None:
        return None
    if feed is None or key is None:
        refuse("--update-feed and --update-signing-key go together")
    if not (feed.lower().startswith("https://") or LOCAL.match(feed)):
        refuse("--update-feed '%s' is not an https:// address (http:// only for 127.0.0.1 and "
               "localhost)" % feed)
    written = ini.value("update-feed", name + ".exe")
    if written != feed:
        refuse("tavrin.ini's update-feed is '%s', not --update-feed '%s': the launchers look "
               "for their updates there" % (written, feed))
    check_key(key, ini.value("update-key", name + ".exe"))
    days = options.get("--update-valid-days", "180")
    if not re.fullmatch(r"[0-9]{1,4}", days) or not 1 <= int(days) <= 3650:
        refuse("--update-valid-days '%s' is not a number of days from 1 to 3650" % days)
    launcher = pe.file_version(os.path.join(app_dir, name + ".exe"))
    if launcher[:3] != tuple(int(n) for n in version.split(".")):
        refuse("%s.exe's version is %s, not --version %s: the launcher compares its own "
               "version with the feed's (brand.sh --version %s.0)"
               % (name, ".".join(str(n) for n in launcher), version, version))
    if not os.path.isfile(os.path.join(app_dir, UPDATER)):
        refuse("--app-dir '%s' has no %s: copy it there from dist/, beside the launcher"
               % (app_dir, UPDATER))
    return types.SimpleNamespace(feed=feed, key=key, valid_days=int(days))


def raw_signature(der):
    """r and s, 32 bytes each, of a DER ECDSA signature."""
    def integer(at):
        length = der[at + 1]
        value = der[at + 2:at + 2 + length].lstrip(b"\x00")
        return value.rjust(32, b"\x00"), at + 2 + length
    r, at = integer(2)
    s, _ = integer(at)
    return r + s


def write_feed(application, msi_name):
    """dist/NAME-VERSION.update: the MSI's facts, signed."""
    update = application.update
    with open(os.path.join("dist", msi_name), "rb") as package:
        data = package.read()
    until = datetime.date.today() + datetime.timedelta(days=update.valid_days)
    lines = ("version=%s\npackage=%s\nsize=%d\nsha256=%s\nupgrade-code=%s\nvalid-until=%s\n" % (
        application.version, msi_name, len(data), hashlib.sha256(data).hexdigest(),
        application.upgrade_code, until.isoformat())).encode("utf-8")
    der = openssl("openssl could not sign the feed with '%s'" % update.key,
                  "dgst", "-sha256", "-sign", update.key, data=lines)
    signature = base64.b64encode(raw_signature(der)).decode("ascii")
    feed_name = "%s-%s.update" % (application.name, application.version)
    with open(os.path.join("dist", feed_name), "wb") as out:
        out.write(lines + b"signature=" + signature.encode("ascii") + b"\n")
    return feed_name, until
