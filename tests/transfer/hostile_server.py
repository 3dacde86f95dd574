#!/usr/bin/python3
"""A misbehaving IMAP, POP3 or NNTP server for the transfer tests, plain on 127.0.0.1:PORT. It
serves three small messages (UIDs / message or article numbers 1 to 3) and misbehaves as MODE
says:

  refuse      IMAP: answers NO to any fetch that includes UID 2 while the file FLAG exists
              POP3: answers -ERR to RETR 2 while the file FLAG exists
  literal     IMAP: announces the text of UID 1 as a literal of 4,000,000,000 bytes and sends
              zeros as fast as it can
  endless     IMAP: answers the size listing with FETCH lines that never end
              NNTP: answers OVER with overview lines that never end
  article     NNTP: answers ARTICLE with lines that never end
  big         NNTP: article 2 has a body of 8 MB (as its overview says); whether the client
              read it all is written to stdout ("BODY 2 sent whole" / "BODY 2 left unread")
  silent      never greets
  full        never accepts, its queue full: connecting never ends
  trickle     greets one byte a second
  slowtext    IMAP: sends the text of UID 1 one byte a second

usage: hostile_server.py PORT imap|pop3|nntp MODE [FLAG]
Writes "ready" to stdout once it listens; serves connections one after another, for ever.
"""
import os
import socket
import sys
import threading
import time

port, proto, mode = int(sys.argv[1]), sys.argv[2], sys.argv[3]
flag = sys.argv[4] if len(sys.argv) > 4 else None


def message(n):
    return (b"From: Hostile <h@example.org>\r\nSubject: message %d\r\n"
            b"Message-ID: <h%d@example.org>\r\n\r\nBody of message %d.\r\n" % (n, n, n))


MESSAGES = {n: message(n) for n in (1, 2, 3)}
BIG = b"".join(b"big line %d of a long body\r\n" % i for i in range(300000))


def uids_of(uid_set):
    out = set()
    for part in uid_set.split(","):
        if ":" in part:
            a, b = part.split(":")
            a = int(a)
            b = 3 if b == "*" else int(b)
            out.update(range(min(a, b), max(a, b) + 1))
        else:
            out.add(int(part))
    return sorted(u for u in out if u in MESSAGES) or ([3] if uid_set.endswith("*") else [])


def trickle(conn, data):
    for i in range(len(data)):
        conn.sendall(data[i:i + 1])
        time.sleep(1)


def imap(conn):
    f = conn.makefile("rb")
    if mode == "trickle":
        trickle(conn, b"* OK hostile IMAP ready\r\n")
        return
    conn.sendall(b"* OK hostile IMAP ready\r\n")
    while True:
        line = f.readline()
        if not line:
            return
        tag, _, rest = line.decode("latin-1").strip().partition(" ")
        upper = rest.upper()
        if upper.startswith("LOGIN"):
            conn.sendall(b"%s OK logged in\r\n" % tag.encode())
        elif upper.startswith(("SELECT", "EXAMINE")):
            conn.sendall(b"* 3 EXISTS\r\n* OK [UIDVALIDITY 7] ok\r\n* OK [UIDNEXT 4] ok\r\n"
                         b"%s OK done\r\n" % tag.encode())
        elif upper.startswith("UID FETCH") and "RFC822.SIZE" in upper:
            if mode == "endless":
                line = b"* 1 FETCH (UID 1 RFC822.SIZE 100)\r\n" * 1000
                while True:
                    conn.sendall(line)
            for u in uids_of(rest.split()[2]):
                conn.sendall(b"* %d FETCH (UID %d RFC822.SIZE %d)\r\n" % (u, u, len(MESSAGES[u])))
            conn.sendall(b"%s OK done\r\n" % tag.encode())
        elif upper.startswith("UID FETCH"):
            uids = uids_of(rest.split()[2])
            if mode == "refuse" and 2 in uids and flag and os.path.exists(flag):
                # The whole command is refused, as some servers do.
                conn.sendall(b"%s NO [SERVERBUG] cannot read message 2\r\n" % tag.encode())
                continue
            for u in uids:
                text = MESSAGES[u]
                if mode == "literal" and u == 1:
                    conn.sendall(b"* 1 FETCH (UID 1 FLAGS () BODY[] {4000000000}\r\n")
                    zeros = b"\0" * 65536
                    while True:
                        conn.sendall(zeros)
                if mode == "slowtext" and u == 1:
                    conn.sendall(b"* 1 FETCH (UID 1 FLAGS () BODY[] {%d}\r\n" % len(text))
                    trickle(conn, text + b")\r\n")
                    continue
                conn.sendall(b"* %d FETCH (UID %d FLAGS () BODY[] {%d}\r\n" % (u, u, len(text))
                             + text + b")\r\n")
            conn.sendall(b"%s OK done\r\n" % tag.encode())
        elif upper.startswith("UID STORE"):
            conn.sendall(b"%s OK done\r\n" % tag.encode())
        elif upper.startswith("LOGOUT"):
            conn.sendall(b"* BYE bye\r\n%s OK done\r\n" % tag.encode())
            return
        else:
            conn.sendall(b"%s BAD unknown\r\n" % tag.encode())


def nntp(conn):
    f = conn.makefile("rb")
    if mode == "trickle":
        trickle(conn, b"200 hostile NNTP ready\r\n")
        return
    conn.sendall(b"200 hostile NNTP ready\r\n")
    while True:
        line = f.readline()
        if not line:
            return
        cmd = line.decode("latin-1").strip().upper()
        if cmd.startswith("MODE READER"):
            conn.sendall(b"200 ok\r\n")
        elif cmd.startswith("GROUP"):
            conn.sendall(b"211 3 1 3 fj.test\r\n")
        elif cmd.startswith(("OVER", "XOVER")):
            conn.sendall(b"224 overview\r\n")
            if mode == "endless":
                line = b"2\tsubject\tfrom\tdate\t<h2@example.org>\t\t100\t3\r\n" * 1000
                while True:
                    conn.sendall(line)
            for n in (1, 2, 3):
                size = len(BIG) if mode == "big" and n == 2 else 100
                conn.sendall(b"%d\ts\tf\td\t<h%d@example.org>\t\t%d\t3\r\n" % (n, n, size))
            conn.sendall(b".\r\n")
        elif cmd.startswith("ARTICLE"):
            n = int(cmd.split()[1])
            conn.sendall(b"220 %d <h%d@example.org>\r\n" % (n, n))
            if mode == "article":
                body = b"an endless line of the body of the article\r\n" * 1000
                while True:
                    conn.sendall(body)
            conn.sendall(MESSAGES[n] + b".\r\n")
        elif cmd.startswith(("HEAD", "BODY")):
            n = int(cmd.split()[1])
            head, _, body = MESSAGES[n].partition(b"\r\n\r\n")
            if cmd.startswith("HEAD"):
                conn.sendall(b"221 %d <h%d@example.org>\r\n%s\r\n.\r\n" % (n, n, head))
                continue
            conn.sendall(b"222 %d <h%d@example.org>\r\n" % (n, n))
            if mode == "big" and n == 2:
                try:
                    conn.sendall(BIG + b".\r\n")
                    print("BODY 2 sent whole", flush=True)
                except OSError:
                    print("BODY 2 left unread", flush=True)
                    return
                continue
            conn.sendall(body + b".\r\n")
        elif cmd.startswith("QUIT"):
            conn.sendall(b"205 bye\r\n")
            return
        else:
            conn.sendall(b"500 unknown\r\n")


def pop3(conn):
    f = conn.makefile("rb")
    conn.sendall(b"+OK hostile POP3 ready\r\n")
    while True:
        line = f.readline()
        if not line:
            return
        cmd, _, arg = line.decode("latin-1").strip().partition(" ")
        cmd = cmd.upper()
        if cmd in ("USER", "PASS", "NOOP"):
            conn.sendall(b"+OK\r\n")
        elif cmd == "CAPA":
            conn.sendall(b"+OK\r\nUSER\r\nUIDL\r\n.\r\n")
        elif cmd == "UIDL":
            conn.sendall(b"+OK\r\n" + b"".join(b"%d uid-%d\r\n" % (n, n) for n in MESSAGES)
                         + b".\r\n")
        elif cmd == "LIST":
            conn.sendall(b"+OK\r\n" + b"".join(b"%d %d\r\n" % (n, len(t)) for n, t in
                                                MESSAGES.items()) + b".\r\n")
        elif cmd == "RETR" and arg.isdigit() and int(arg) in MESSAGES:
            n = int(arg)
            if mode == "refuse" and n == 2 and flag and os.path.exists(flag):
                conn.sendall(b"-ERR [SYS/TEMP] message 2 cannot be read now\r\n")
                continue
            conn.sendall(b"+OK\r\n" + MESSAGES[n] + b".\r\n")
        elif cmd == "QUIT":
            conn.sendall(b"+OK bye\r\n")
            return
        else:
            conn.sendall(b"-ERR unknown\r\n")


def serve(conn):
    try:
        if mode == "silent":
            time.sleep(3600)
        elif proto == "imap":
            imap(conn)
        elif proto == "pop3":
            pop3(conn)
        else:
            nntp(conn)
    except OSError:
        pass
    finally:
        conn.close()


listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", port))
if mode == "full":
    # A queue of one, filled by ourselves: the kernel drops every later handshake.
    listener.listen(0)
    queued = []
    for _ in range(4):
        s = socket.socket()
        s.setblocking(False)
        try:
            s.connect(("127.0.0.1", port))
        except BlockingIOError:
            pass
        queued.append(s)
    time.sleep(0.5)
    print("ready", flush=True)
    time.sleep(3600)
listener.listen(8)
print("ready", flush=True)
while True:
    c, _ = listener.accept()
    threading.Thread(target=serve, args=(c,), daemon=True).start()
