#!/usr/bin/env python3
"""Posts with pxpost to one example receiver and checks what it says it got.

    receiver_test.py php|node|python np|ax PXPOST WINE_RUN

The receiver runs on a free port of 127.0.0.1 with a private upload folder;
each case posts through one uploader and compares the receiver's JSON answer
(fields in order, file part name, type and size) and the saved bytes with
what was sent. A receiver that does not start fails the test.
"""
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "receivers")
RECEIVERS = {  # the interpreters whose parsers come from Debian's packages
    "php": ["php", "-S", "127.0.0.1:{port}", "receive.php"],
    "node": ["node", "receive.js", "{port}"],
    "python": ["/usr/bin/python3", "receive.py", "{port}"],
}
# (name, value) pairs to send; each run sends those its charset can carry.
FIELDS = [
    ("user", "ann"), ("empty", ""), ("7", "digits"),
    ("caption", "Crème brûlée – “5 €”"),  # windows-1252 bytes 0x80-0x9F among them
    ("title", "中文标题"), ("größe", "name"), ("名前", "name"), ("check", "✓"),
]
TYPES = {"jpg": "image/pjpeg", "png": "image/x-png", "bmp": "image/bmp"}
# Every byte value, CR LF, and a line one character short of the delimiter.
PICTURE = bytes(range(256)) * 2048 + b"\r\n-----------------------------7da1d41060a1\r\n\0"
# (case, host, extra pxpost options, type): the socket client for 127.0.0.1,
# the system HTTP library for localhost or when forced.
CASES = [
    ("socket", "127.0.0.1", [], "jpg"),
    ("system_http_localhost", "localhost", [], "png"),
    ("system_http_forced", "127.0.0.1", ["--wininet"], "bmp"),
]


def fields_for(receiver, charset):
    def fits(name, value):
        try:
            (name + value).encode(charset)
        except UnicodeEncodeError:
            return False
        # Werkzeug reads part headers, so the names, as UTF-8 only.
        return name.isascii() or receiver != "python" or charset == "utf-8"
    return [(name, value) for name, value in FIELDS if fits(name, value)]


def start(receiver, env):
    for _ in range(3):  # another program may take the free port first
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        command = [part.format(port=port) for part in RECEIVERS[receiver]]
        try:
            server = subprocess.Popen(command, cwd=EXAMPLES, env=env, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
        except OSError as error:
            raise SystemExit(f"{receiver} receiver cannot run ({error}); run scripts/setup-deps.sh")
        deadline = time.monotonic() + 30
        while server.poll() is None and time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                return server, port
            except OSError:
                time.sleep(0.2)
        server.kill()
        server.wait()
    raise SystemExit(f"{receiver} receiver did not start: {' '.join(command)}")


def check(receiver, charset, pxpost, wine_run, port, folder, case):
    """Returns None when the receiver got what was sent, else what went wrong."""
    _, host, options, kind = case
    fields = fields_for(receiver, charset)
    picture = os.path.join(folder, "picture.bin")
    command = [wine_run, pxpost, f"http://{host}:{port}/upload", picture, "--quiet", "--type", kind,
               "--width", "64", "--height", "48"] + options + [f"{n}={v}" for n, v in fields]
    run = subprocess.run(command, capture_output=True, timeout=120)
    out = run.stdout.decode("latin-1")
    reply = [line[9:] for line in out.splitlines() if line.startswith("response {")]
    if run.returncode != 0 or not reply:
        return f"pxpost exit {run.returncode}:\n{out}{run.stderr.decode('latin-1')[-2000:]}"
    answer = json.loads(reply[0])
    sent = [[n, v] for n, v in fields] + [["width", "64"], ["height", "48"]]
    if answer["fields"] != sent:
        return f"fields {answer['fields']} != {sent}"
    file = answer["file"]
    if (file["field"], file["name"], file["type"], file["size"]) != ("img", "img." + kind, TYPES[kind], len(PICTURE)):
        return f"file part {file}"
    with open(os.path.join(folder, "uploads", file["saved"]), "rb") as saved:
        return None if saved.read() == PICTURE else "saved bytes differ from the picture sent"


def main(receiver, flavour, pxpost, wine_run):
    # npPixmend sends script text as UTF-8; Pixmend converts it to the ANSI
    # code page, which is 1252 in Wine's English and C locales.
    charset = "utf-8" if flavour == "np" else "windows-1252"
    folder = tempfile.mkdtemp(prefix="pixmend-receiver-")
    with open(os.path.join(folder, "picture.bin"), "wb") as f:
        f.write(PICTURE)
    node_path = [p for p in (os.environ.get("NODE_PATH"), "/usr/share/nodejs") if p]
    env = dict(os.environ, PIXMEND_UPLOAD_DIR=os.path.join(folder, "uploads"),
               PIXMEND_CHARSET=charset, NODE_PATH=os.pathsep.join(node_path))
    server, port = start(receiver, env)
    failed = 0
    try:
        for case in CASES:
            error = check(receiver, charset, pxpost, wine_run, port, folder, case)
            failed += error is not None
            print(f"{receiver} {flavour} {charset} {case[0]}: " + (f"FAILED\n{error}" if error else "ok"))
    finally:
        server.kill()
        server.wait()
        shutil.rmtree(folder, ignore_errors=True)
    print(f"{len(CASES) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]) if len(sys.argv) == 5 and sys.argv[1] in RECEIVERS else __doc__)
