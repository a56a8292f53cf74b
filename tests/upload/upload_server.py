#!/usr/bin/env python3
"""Local HTTP and HTTPS servers for the upload tests and benchmarks.

    upload_server.py run [--] COMMAND...   start both servers on free ports of
        127.0.0.1, wait until they accept, run COMMAND with their ports in
        PIXMEND_TEST_HTTP_PORT / PIXMEND_TEST_HTTPS_PORT (and a port nobody
        listens on in PIXMEND_TEST_REFUSED_PORT), stop them, and exit with
        COMMAND's status.

The HTTPS certificate is self-signed and made by openssl at start-up. Sockets
set TCP_NODELAY so that small replies are not held back by Nagle's algorithm.

Paths (a query string, if one arrives, is reported by /echo):
    /echo    200, a text report of the request line's target, every header
             line and the body in hex
    /big/N   200, a reply of N bytes
    /empty   200 with an empty body
    /fail    500 with the text "server error text"
    /stall   reads the request and never answers until the client goes away
    /slow    reads the body slowly, then 200 "ok"
    /drip    200 with 20 pieces of 255 bytes, one every 300 ms: every read
             completes in time, the whole reply takes 6 s
    /sink    200 "ok" (benchmarks)
"""
import http.server
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        super().setup()
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def log_message(self, *args):
        pass

    def _read_body(self, slow=False):
        length = int(self.headers.get("Content-Length", "0"))
        chunks = []
        while length > 0:
            piece = self.rfile.read(min(length, 16384 if slow else 1 << 20))
            if not piece:
                break
            chunks.append(piece)
            length -= len(piece)
            if slow:
                time.sleep(0.05)
        return b"".join(chunks)

    def _reply(self, status, body):
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Content-Type", "text/plain")
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        path = self.path.split("?", 1)[0]
        if path == "/stall":
            self._read_body()
            self.close_connection = True
            try:
                while self.connection.recv(1):
                    pass
            except OSError:
                pass
            return
        body = self._read_body(slow=(path == "/slow"))
        if path == "/drip":
            self.send_response(200)
            self.send_header("Content-Length", str(20 * 255))
            self.end_headers()
            try:
                for _ in range(20):
                    self.wfile.write(b"d" * 255)
                    self.wfile.flush()
                    time.sleep(0.3)
            except OSError:
                pass
            return
        if path == "/echo":
            lines = ["target=" + self.path]
            lines += ["header=%s: %s" % (k, v) for k, v in self.headers.items()]
            lines.append("body=" + body.hex())
            self._reply(200, ("\n".join(lines) + "\n").encode())
        elif path.startswith("/big/"):
            size = int(path[5:])
            self._reply(200, bytes(ord("a") + i % 26 for i in range(size)))
        elif path == "/empty":
            self._reply(200, b"")
        elif path == "/fail":
            self._reply(500, b"server error text")
        else:
            self._reply(200, b"ok")


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 64


def make_certificate(folder):
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                    "-out", cert, "-days", "2", "-subj", "/CN=pixmend-test.invalid"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def start_servers(folder):
    plain = Server(("127.0.0.1", 0), Handler)
    secure = Server(("127.0.0.1", 0), Handler)
    cert, key = make_certificate(folder)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    secure.socket = context.wrap_socket(secure.socket, server_side=True)
    for server in (plain, secure):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    for server in (plain, secure):  # wait until each accepts
        deadline = time.time() + 10
        while True:
            try:
                socket.create_connection(server.server_address, timeout=1).close()
                break
            except OSError:
                if time.time() > deadline:
                    raise
                time.sleep(0.05)
    return plain, secure


def unused_port():
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


def main(argv):
    if not argv or argv[0] != "run":
        print(__doc__)
        return 2
    command = argv[1:]
    if command and command[0] == "--":
        command = command[1:]
    with tempfile.TemporaryDirectory() as folder:
        plain, secure = start_servers(folder)
        env = dict(os.environ)
        for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
            env.pop(name, None)
        env["PIXMEND_TEST_HTTP_PORT"] = str(plain.server_address[1])
        env["PIXMEND_TEST_HTTPS_PORT"] = str(secure.server_address[1])
        env["PIXMEND_TEST_REFUSED_PORT"] = str(unused_port())
        status = subprocess.call(command, env=env)
        plain.shutdown()
        secure.shutdown()
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
