"""Receives one Pixmend upload and saves the picture (Flask).

    PIXMEND_UPLOAD_DIR=/srv/uploads python3 receive.py 8080

The form holds the page's fields, then "width" and "height", then the picture
as the file part "img" named "img.jpg", "img.png" or "img.bmp". The answer
(JSON, ASCII only, so that either control hands it to script unchanged) names
the fields in the order they arrived and the saved file.

PIXMEND_CHARSET is the charset of the field values: utf-8 (the default) for
npPixmend, the ANSI code page of the user's Windows (for example windows-1252)
for Pixmend. Werkzeug reads field names as UTF-8 whatever the charset, and a
name it cannot read empties the whole form: with Pixmend, keep names ASCII.
The charset setting needs Werkzeug 2 (Debian 12's python3-flask); Werkzeug 3
reads every value as UTF-8.
"""
import os
import secrets
import sys

from flask import Flask, Request, jsonify, request

UPLOAD_DIR = os.environ.get("PIXMEND_UPLOAD_DIR") or os.path.join(os.path.dirname(__file__), "uploads")
FILE_FIELD = os.environ.get("PIXMEND_FILE_FIELD") or "img"


class PixmendRequest(Request):
    charset = os.environ.get("PIXMEND_CHARSET") or "utf-8"


app = Flask(__name__)
app.request_class = PixmendRequest


@app.post("/", defaults={"_path": ""})
@app.post("/<path:_path>")
def receive(_path):
    file = request.files.get(FILE_FIELD)
    if file is None:
        return jsonify(error=f'no file part "{FILE_FIELD}"'), 400
    # Never use the client's file name as a path: keep a known picture extension only.
    extension = os.path.splitext(file.filename or "")[1][1:].lower()
    if extension not in ("jpg", "png", "bmp"):
        return jsonify(error="not a jpg, png or bmp file"), 400
    saved = f"{secrets.token_hex(8)}.{extension}"
    target = os.path.join(UPLOAD_DIR, saved)
    os.makedirs(UPLOAD_DIR, exist_ok=True)
    file.save(target)
    return jsonify(
        fields=list(request.form.items(multi=True)),
        file={
            "field": FILE_FIELD,
            "name": file.filename,
            "type": file.mimetype,
            "size": os.path.getsize(target),
            "saved": saved,
        },
    )


if __name__ == "__main__":
    app.run(host="127.0.0.1", port=int(sys.argv[1]) if len(sys.argv) > 1 else 8080)
