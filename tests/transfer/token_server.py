#!/usr/bin/python3
"""A token-introspection server (RFC 7662) for the transfer tests, on 127.0.0.1:PORT: a POST
of "token=..." is answered {"active": true, "username": USER} for TOKEN, and {"active": false}
for any other token. Each token asked about is written to stdout ("introspect good" or
"introspect other").

usage: token_server.py PORT TOKEN USER
Writes "ready" to stdout once it listens; stops on SIGTERM.
"""
import json
import sys
import urllib.parse
from http.server import BaseHTTPRequestHandler, HTTPServer

port, token, user = int(sys.argv[1]), sys.argv[2], sys.argv[3]


class Introspect(BaseHTTPRequestHandler):
    def do_POST(self):
        length = min(int(self.headers.get("Content-Length") or 0), 65536)
        form = urllib.parse.parse_qs(self.rfile.read(length).decode("ascii", "replace"))
        good = form.get("token") == [token]
        print("introspect %s" % ("good" if good else "other"), flush=True)
        body = json.dumps({"active": True, "username": user} if good else {"active": False})
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body.encode())

    def log_message(self, *args):
        pass


server = HTTPServer(("127.0.0.1", port), Introspect)
print("ready", flush=True)
server.serve_forever()
