#!/usr/bin/python3
"""A submission server for the transfer tests: aiosmtpd on 127.0.0.1, STARTTLS required before
AUTH (PLAIN or LOGIN, one user), every accepted message stored in a Maildir. A recipient whose
local part starts with "refused" is refused with 550, as a server refuses an unknown user.

usage: smtp_server.py PORT CERT KEY MAILDIR USER PASSWORD
Writes "ready" to stdout once it listens; stops on SIGTERM.
"""
import signal
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.handlers import Mailbox
from aiosmtpd.smtp import AuthResult, LoginPassword


class Handler(Mailbox):
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("refused"):
            return "550 5.1.1 <%s>: Recipient address rejected: no such user" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"


def main():
    port, cert, key, maildir, user, password = sys.argv[1:7]
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == user
              and auth_data.password.decode() == password)
        # handled=False: the server answers 535 itself.
        return AuthResult(success=ok, handled=False)

    controller = Controller(Handler(maildir), hostname="127.0.0.1", port=int(port),
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
