#!/usr/bin/env python3
"""Raw-socket HTTP server for the socket uploader's tests under Wine.

    socket_server.py run [--] COMMAND...   serve on a free port of 127.0.0.1,
        run COMMAND with the port in PIXMEND_TEST_SOCKET_PORT, stop, and exit
        with COMMAND's status.

It answers by path, and many answers are deliberately broken:
    /echo        200; body = the request head as received, then "body=N"
    /redirect    302 to /echo (relative Location)
    /loop        302 to /loop for ever
    /to-https    302 to an https address
    /chunked     200 in chunks            /close   200 delimited by close
    /fail        500 "server error text"  /silent  reads, never answers
    /reset       head, 10 of 1000 bytes, then a TCP reset
    /garbage     a status line that is no HTTP
    /oversized   a 200 head with a 100 KiB field
    /drip        a reply sent one byte a second
    /endless     200 without length, then bytes until the client leaves
    /overflow    a chunk size too large for any integer
    /basic       401 with a Basic challenge
    /ntlm        the NTLM handshake: bare challenge, then a server challenge
                 for the test's fake negotiate token, then 200 with the
                 Authorization values seen on this connection, in order
    /stats       counts of connections and of requests carrying X-Injected
    /nodrain     reads the head, then never reads the body, so sends block
A second port, PIXMEND_TEST_BLACKHOLE_PORT, listens with a full backlog and
never accepts: connecting to it neither succeeds nor fails.
"""
import base64
import os
import socket
import struct
import subprocess
import sys
import threading
import time

STATS = {"connections": 0, "injected": 0}
LOCK = threading.Lock()
FAKE_NEGOTIATE = b"NEGOTIATE"
FAKE_CHALLENGE = b"server-challenge"


def read_request(conn, buffered):
    """Returns (head bytes, body bytes, rest) or None when the peer left."""
    data = buffered
    while b"\r\n\r\n" not in data:
        piece = conn.recv(65536)
        if not piece:
            return None
        data += piece
    head, _, rest = data.partition(b"\r\n\r\n")
    head += b"\r\n\r\n"
    if head.split(b" ")[1:2] == [b"/nodrain"]:
        return head, None, b""
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    while len(rest) < length:
        piece = conn.recv(65536)
        if not piece:
            return None
        rest += piece
    return head, rest[:length], rest[length:]


def header(head, name):
    for line in head.split(b"\r\n")[1:]:
        key, _, value = line.partition(b":")
        if key.strip().lower() == name:
            return value.strip()
    return None


def reply(conn, status, body, extra=b""):
    conn.sendall(b"HTTP/1.1 " + status + b"\r\nContent-Length: " + str(len(body)).encode() +
                 b"\r\n" + extra + b"\r\n" + body)


def wait_for_close(conn, limit=60):
    conn.settimeout(limit)
    try:
        while conn.recv(4096):
            pass
    except OSError:
        pass


def serve_broken(conn, path, head, body):
    """Answers that end the connection; returns False to close it."""
    if path == "/silent":
        wait_for_close(conn)
    elif path == "/reset":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789")
        time.sleep(0.2)
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    elif path == "/garbage":
        conn.sendall(b"ICY 200 OK\r\nContent-Length: 2\r\n\r\nok")
        wait_for_close(conn, 5)
    elif path == "/oversized":
        conn.sendall(b"HTTP/1.1 200 OK\r\nX-Big: " + b"a" * 100000 + b"\r\nContent-Length: 2\r\n\r\nok")
        wait_for_close(conn, 5)
    elif path == "/drip":
        try:
            for byte in b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + b"d" * 100:
                conn.sendall(bytes([byte]))
                time.sleep(1)
        except OSError:
            pass
    elif path == "/endless":
        try:
            conn.sendall(b"HTTP/1.1 200 OK\r\n\r\n")
            block = b"x" * 65536
            while True:
                conn.sendall(block)
        except OSError:
            pass
    elif path == "/overflow":
        conn.sendall(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffffffffffff\r\nabc")
        wait_for_close(conn, 5)
    elif path == "/close":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nclosed body")
    return False


def serve_one(conn, path, head, body, state):
    """Returns False when the connection must end after this request."""
    if path == "/nodrain":
        time.sleep(30)
        return False
    if path in ("/silent", "/reset", "/garbage", "/oversized", "/drip", "/endless", "/overflow", "/close"):
        return serve_broken(conn, path, head, body)
    if path == "/echo":
        reply(conn, b"200 OK", head + b"body=" + str(len(body)).encode())
    elif path == "/redirect":
        reply(conn, b"302 Found", b"moved", b"Location: /echo\r\n")
    elif path == "/loop":
        reply(conn, b"302 Found", b"", b"Location: /loop\r\n")
    elif path == "/to-https":
        reply(conn, b"302 Found", b"", b"Location: https://127.0.0.1/\r\n")
    elif path == "/chunked":
        conn.sendall(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                     b"6\r\nchunk-\r\n5;ext=1\r\nreply\r\n0\r\n\r\n")
    elif path == "/fail":
        reply(conn, b"500 Internal Server Error", b"server error text")
    elif path == "/basic":
        reply(conn, b"401 Unauthorized", b"basic denied", b'WWW-Authenticate: Basic realm="pixmend"\r\n')
    elif path == "/ntlm":
        return serve_ntlm(conn, head, state)
    elif path == "/stats":
        with LOCK:
            text = "connections=%d injected=%d" % (STATS["connections"], STATS["injected"])
        reply(conn, b"200 OK", text.encode())
    else:
        reply(conn, b"404 Not Found", b"no such path")
    return True


def serve_ntlm(conn, head, state):
    auth = header(head, b"authorization")
    state.setdefault("auth", []).append(auth.decode() if auth else "-")
    token = b""
    if auth and auth.startswith(b"NTLM "):
        token = base64.b64decode(auth[5:])
    if auth is None:
        reply(conn, b"401 Unauthorized", b"", b"WWW-Authenticate: NTLM\r\n")
    elif token == FAKE_NEGOTIATE:
        reply(conn, b"401 Unauthorized", b"",
              b"WWW-Authenticate: NTLM " + base64.b64encode(FAKE_CHALLENGE) + b"\r\n")
    elif token.startswith(b"AUTHENTICATE") and state["auth"][-2:-1] and "NTLM" in state["auth"][-2]:
        reply(conn, b"200 OK", "\n".join(state["auth"]).encode())
    elif token.startswith(b"NTLMSSP\0") and token[8:9] == b"\x01":
        # A real negotiate message: answer with a challenge no client can satisfy here.
        challenge = (b"NTLMSSP\0" + struct.pack("<I", 2) + struct.pack("<HHI", 0, 0, 56) +
                     struct.pack("<I", 0x00028233) + os.urandom(8) + b"\0" * 8 + struct.pack("<HHI", 0, 0, 56) +
                     b"\0" * 8)
        reply(conn, b"401 Unauthorized", b"", b"WWW-Authenticate: NTLM " + base64.b64encode(challenge) + b"\r\n")
    else:
        reply(conn, b"401 Unauthorized", b"ntlm denied", b"WWW-Authenticate: NTLM\r\n")
    return True


def handle(conn):
    with LOCK:
        STATS["connections"] += 1
    state = {}
    buffered = b""
    try:
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        conn.settimeout(60)
        while True:
            request = read_request(conn, buffered)
            if request is None:
                break
            head, body, buffered = request
            if b"X-Injected" in head:
                with LOCK:
                    STATS["injected"] += 1
            target = head.split(b" ")[1].decode("latin-1") if head.count(b" ") >= 2 else "/"
            if not serve_one(conn, target.split("?")[0], head, body, state):
                break
    except (OSError, ValueError):
        pass
    finally:
        conn.close()


def main(argv):
    if not argv or argv[0] != "run":
        print(__doc__)
        return 2
    command = argv[1:]
    if command and command[0] == "--":
        command = command[1:]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)

    def accept_loop():
        while True:
            try:
                conn, _ = listener.accept()
            except OSError:
                return
            threading.Thread(target=handle, args=(conn,), daemon=True).start()

    threading.Thread(target=accept_loop, daemon=True).start()
    blackhole = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    blackhole.bind(("127.0.0.1", 0))
    blackhole.listen(0)
    fillers = []
    for _ in range(3):  # fill the backlog: later connection attempts go unanswered
        filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        filler.setblocking(False)
        filler.connect_ex(blackhole.getsockname())
        fillers.append(filler)
    env = dict(os.environ)
    env["PIXMEND_TEST_SOCKET_PORT"] = str(listener.getsockname()[1])
    env["PIXMEND_TEST_BLACKHOLE_PORT"] = str(blackhole.getsockname()[1])
    status = subprocess.call(command, env=env)
    listener.close()
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
