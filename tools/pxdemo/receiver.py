#!/usr/bin/env python3
"""A small upload receiver for trying the editor (pxdemo) or a page.

    receiver.py [--port N] [--folder DIR] [--port-file FILE]

Listens on 127.0.0.1 (port 0 picks a free one; the port is printed and, with
--port-file, written to FILE). Every POST with a multipart/form-data body is
answered 200: each text field is printed, each file part is saved into the
folder (default ./received) under a numbered name, and the reply text says
what was saved. A POST to a path ending in /fail is answered 500 instead, to
try the page's error callback. Stops on Ctrl-C or SIGTERM.
"""
import argparse
import http.server
import os
import signal
import sys


def parse_multipart(body, content_type):
    """Yields (name, filename or None, bytes) for every part of the body."""
    marker = "boundary="
    if marker not in content_type:
        return
    boundary = content_type.split(marker, 1)[1].split(";", 1)[0].strip().strip('"').encode()
    for chunk in body.split(b"--" + boundary)[1:]:
        if chunk.startswith(b"--"):
            break
        head, _, data = chunk.partition(b"\r\n\r\n")
        if data.endswith(b"\r\n"):
            data = data[:-2]
        name, filename = None, None
        for line in head.decode("latin-1").split("\r\n"):
            if line.lower().startswith("content-disposition:"):
                for item in line.split(";")[1:]:
                    key, _, value = item.strip().partition("=")
                    if key == "name":
                        name = value.strip('"')
                    elif key == "filename":
                        filename = value.strip('"')
        if name is not None:
            yield name, filename, data


class Receiver(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    folder = "received"
    count = 0

    def log_message(self, *args):
        pass

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        print("POST %s, %d bytes" % (self.path, len(body)), flush=True)
        saved = []
        for name, filename, data in parse_multipart(body, self.headers.get("Content-Type", "")):
            if filename is None:
                print("  field %s = %s" % (name, data.decode("utf-8", "replace")), flush=True)
                continue
            Receiver.count += 1
            leaf = "%03d-%s" % (Receiver.count, os.path.basename(filename) or "upload")
            path = os.path.join(Receiver.folder, leaf)
            with open(path, "wb") as out:
                out.write(data)
            saved.append(leaf)
            print("  file  %s = %s (%d bytes) saved as %s" % (name, filename, len(data), path), flush=True)
        failing = self.path.split("?", 1)[0].endswith("/fail")
        reply = ("refused on purpose" if failing else "saved " + ", ".join(saved)).encode()
        self.send_response(500 if failing else 200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--folder", default="received")
    parser.add_argument("--port-file")
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    Receiver.folder = args.folder
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Receiver)
    port = server.server_address[1]
    print("receiver listening on http://127.0.0.1:%d/ saving into %s" % (port, args.folder), flush=True)
    if args.port_file:
        with open(args.port_file, "w") as out:
            out.write(str(port))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
