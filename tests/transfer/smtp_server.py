#!/usr/bin/python3
"""A submission server for the transfer tests: aiosmtpd on 127.0.0.1, STARTTLS required before
AUTH (PLAIN or LOGIN, one user), every accepted message stored in a Maildir. A recipient whose
local part starts with "refused" is refused with 550, as a server refuses an unknown user.
Given a TOKEN, AUTH XOAUTH2 is offered too and takes that access token for USER.

usage: smtp_server.py PORT CERT KEY MAILDIR USER PASSWORD [TOKEN]
Writes "ready" to stdout once it listens; stops on SIGTERM.
"""
import base64
import signal
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.handlers import Mailbox
from aiosmtpd.smtp import MISSING, AuthResult, LoginPassword


class Handler(Mailbox):
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("refused"):
            return "550 5.1.1 <%s>: Recipient address rejected: no such user" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"


class TokenHandler(Handler):
    """Takes "user=USER^Aauth=Bearer TOKEN^A^A" (with AUTH or after a 334)."""

    def __init__(self, maildir, user, token):
        super().__init__(maildir)
        self.user, self.token = user, token

    async def auth_XOAUTH2(self, server, args):
        if len(args) > 1:
            try:
                data = base64.b64decode(args[1], validate=True)
            except ValueError:
                return AuthResult(success=False)
        else:
            data = await server.challenge_auth("")
            if data is MISSING:
                return AuthResult(success=False)
        fields = dict(f.split(b"=", 1) for f in data.split(b"\x01") if b"=" in f)
        ok = (fields.get(b"user") == self.user.encode()
              and fields.get(b"auth") == b"Bearer " + self.token.encode())
        print("XOAUTH2 %s" % ("accepted" if ok else "refused"), flush=True)
        return AuthResult(success=ok, handled=False)


def main():
    port, cert, key, maildir, user, password = sys.argv[1:7]
    token = sys.argv[7] if len(sys.argv) > 7 else None
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == user
              and auth_data.password.decode() == password)
        # handled=False: the server answers 535 itself.
        return AuthResult(success=ok, handled=False)

    handler = TokenHandler(maildir, user, token) if token else Handler(maildir)
    controller = Controller(handler, hostname="127.0.0.1", port=int(port),
                            tls_context=context, require_starttls=True,
                            authenticator=authenticate, auth_required=True,
                            auth_require_tls=True)
    controller.start()
    print("ready", flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *a: stop.set())
    signal.signal(signal.SIGINT, lambda *a: stop.set())
    stop.wait()
    controller.stop()


if __name__ == "__main__":
    main()
