"""Authenticode signatures on the programs and the package, with osslsigncode.

The certificate and key come from the environment: KESTRUN_SIGN_CERT (PEM
certificate, or the chain up to the issuer) and KESTRUN_SIGN_KEY (its PEM key,
unencrypted). KESTRUN_SIGN_CA names the issuer certificates to verify
against (default: the system's trusted ones). Without a time server here, the
signature carries no time stamp: it is valid while the certificate is.

  signing.py sign FILE      signs FILE in place and verifies it
  signing.py verify FILE    verifies FILE
"""

import os
import subprocess
import sys

SYSTEM_CAS = "/etc/ssl/certs/ca-certificates.crt"


class SigningError(Exception):
    pass


class Signer:
    def __init__(self, cert, key, ca):
        self.cert, self.key, self.ca = cert, key, ca

    def sign(self, path, out=None):
        """Signs path into out (default: in place) and verifies the result."""
        target = out or path
        signed = target + ".signed"
        if os.path.exists(signed):
            os.remove(signed)
        self._run(["osslsigncode", "sign", "-certs", self.cert, "-key", self.key, "-h", "sha256",
                   "-n", "Kestrun", "-in", path, "-out", signed])
        os.replace(signed, target)
        self.verify(target)

    def verify(self, path):
        self._run(["osslsigncode", "verify", "-CAfile", self.ca, "-in", path])

    @staticmethod
    def _run(command):
        result = subprocess.run(command, capture_output=True, text=True)
        if result.returncode != 0:
            raise SigningError("%s failed (exit code %d):\n%s%s"
                               % (" ".join(command[:2]), result.returncode, result.stdout, result.stderr))


def from_environment():
    """A Signer when KESTRUN_SIGN_CERT and KESTRUN_SIGN_KEY are set, else None.
    One of them alone is a mistake, not a reason to ship unsigned."""
    cert, key = os.environ.get("KESTRUN_SIGN_CERT"), os.environ.get("KESTRUN_SIGN_KEY")
    if not cert and not key:
        return None
    if not cert or not key:
        raise SigningError("set both KESTRUN_SIGN_CERT and KESTRUN_SIGN_KEY, or neither")
    for name, path in (("KESTRUN_SIGN_CERT", cert), ("KESTRUN_SIGN_KEY", key)):
        if not os.path.isfile(path):
            raise SigningError("%s: no such file %s" % (name, path))
    return Signer(cert, key, os.environ.get("KESTRUN_SIGN_CA") or SYSTEM_CAS)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("sign", "verify"):
        sys.exit(__doc__)
    try:
        signer = from_environment()
        if signer is None:
            raise SigningError("KESTRUN_SIGN_CERT and KESTRUN_SIGN_KEY are not set")
        getattr(signer, sys.argv[1])(sys.argv[2])
    except SigningError as e:
        sys.exit("signing.py: %s" % e)


if __name__ == "__main__":
    main()
