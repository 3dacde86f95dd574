#!/usr/bin/python3
"""A relay for the transfer tests: listens on 127.0.0.1:PORT, forwards to 127.0.0.1:TARGET, and
cuts its first connection once BYTES bytes have gone in DIRECTION ("down": server to client,
"up": client to server). Later connections are relayed whole.

usage: cutter.py PORT TARGET BYTES DIRECTION
"""
import socket
import sys
import threading

port, target, limit, direction = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
first = [True]


def pump(src, dst, budget, both):
    moved = 0
    try:
        while True:
            data = src.recv(4096)
            if not data:
                break
            if budget is not None and moved + len(data) >= budget:
                dst.sendall(data[:budget - moved])
                break
            dst.sendall(data)
            moved += len(data)
    except OSError:
        pass
    for s in both:
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        s.close()


def serve(client, cut):
    server = socket.create_connection(("127.0.0.1", target))
    both = (client, server)
    down = limit if cut and direction == "down" else None
    up = limit if cut and direction == "up" else None
    threading.Thread(target=pump, args=(server, client, down, both), daemon=True).start()
    threading.Thread(target=pump, args=(client, server, up, both), daemon=True).start()


listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", port))
listener.listen(8)
print("ready", flush=True)
while True:
    conn, _ = listener.accept()
    serve(conn, first[0])
    first[0] = False
