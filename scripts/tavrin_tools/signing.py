"""Signing with osslsigncode: the programs, then the package."""

import os
import re
import shutil
import subprocess
import sys

from .checks import refuse


class Signer:
    def __init__(self, pkcs12, password_file, product, timestamp_url, timestamp_kind, timeout):
        self.pkcs12, self.password_file, self.product = pkcs12, password_file, product
        self.url, self.kind, self.timeout = timestamp_url, timestamp_kind, timeout

    def sign(self, path, what):
        signed = path + ".signed"
        done = subprocess.run(["osslsigncode", "sign", "-pkcs12", self.pkcs12, "-readpass",
                               self.password_file, "-h", "sha256", "-n", self.product, "-in",
                               path, "-out", signed], capture_output=True, text=True,
                              errors="replace")
        if done.returncode != 0:
            _remove(signed)
            refuse("%s could not be signed with '%s' (is the password right?): %s"
                   % (what, self.pkcs12, _last_line(done)))
        os.replace(signed, path)
        if self.url:
            self._stamp(path, what)

    def _stamp(self, path, what):
        stamped = path + ".stamped"
        try:
            done = subprocess.run(["osslsigncode", "add", self.kind, self.url, "-in", path,
                                   "-out", stamped], capture_output=True, text=True,
                                  errors="replace", timeout=self.timeout)
        except subprocess.TimeoutExpired:
            _remove(stamped)
            refuse("the time-stamp server '%s' did not answer within %d seconds "
                   "(--timestamp-timeout)" % (self.url, self.timeout))
        if done.returncode == 0:
            os.replace(stamped, path)
            return
        _remove(stamped)
        if self.kind == "-t":
            refuse("the time-stamp server '%s' gave no Authenticode time stamp for %s (most "
                   "current services answer RFC 3161 requests: try --timestamp-rfc3161)"
                   % (self.url, what))
        refuse("the time-stamp server '%s' gave no RFC 3161 time stamp for %s: %s"
               % (self.url, what, _last_line(done)))


def _remove(path):
    if os.path.exists(path):
        os.remove(path)


def _last_line(done):
    lines = (done.stdout + done.stderr).strip().splitlines()
    return lines[-1] if lines else ""


def read_signer(options, product):
    """None without --sign-pkcs12; the options checked, the certificate's
    expiry warned about."""
    pkcs12, password_file = options.get("--sign-pkcs12"), options.get("--sign-password-file")
    url = options.get("--timestamp-url") or options.get("--timestamp-rfc3161") or ""
    kind = "-ts" if "--timestamp-rfc3161" in options else "-t"
    if pkcs12 or password_file:
        if not (pkcs12 and password_file):
            refuse("--sign-pkcs12 and --sign-password-file go together")
        for option, path in (("--sign-pkcs12", pkcs12), ("--sign-password-file", password_file)):
            if not (os.path.isfile(path) and os.access(path, os.R_OK)):
                refuse("%s '%s' is not a readable file" % (option, path))
    if url:
        if not pkcs12:
            refuse("--timestamp-url and --timestamp-rfc3161 need --sign-pkcs12")
        if not re.fullmatch(r"https?://[^ \"<>\n]+", url):
            refuse("--timestamp-url '%s' is not a web address" % url)
    timeout = options.get("--timestamp-timeout", "60")
    if not re.fullmatch(r"[0-9]+", timeout):
        refuse("--timestamp-timeout '%s' is not a number of seconds" % timeout)
    if not 1 <= int(timeout) <= 600:
        refuse("--timestamp-timeout '%s' is not between 1 and 600 seconds" % timeout)
    if not pkcs12:
        return None
    _warn_if_expired(pkcs12, password_file)
    return Signer(pkcs12, password_file, product, url, kind, int(timeout))


def _warn_if_expired(pkcs12, password_file):
    """A certificate that has expired, when openssl can tell."""
    if not shutil.which("openssl"):
        return
    certificate = subprocess.run(["openssl", "pkcs12", "-in", pkcs12, "-passin",
                                  "file:" + password_file, "-nokeys", "-clcerts"],
                                 capture_output=True).stdout
    readable, current = (subprocess.run(["openssl", "x509", "-noout", *check], input=certificate,
                                        capture_output=True).returncode == 0
                         for check in ([], ["-checkend", "0"]))
    if readable and not current:
        print("package.sh: warning: the certificate in '%s' has expired: Windows shows "
              "signatures made with it as invalid unless they carry a time stamp from before it "
              "expired" % pkcs12, file=sys.stderr)
