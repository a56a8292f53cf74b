// Receives one Pixmend upload and saves the picture.
//
//   PIXMEND_UPLOAD_DIR=/srv/uploads NODE_PATH=/usr/share/nodejs node receive.js 8080
//
// (NODE_PATH finds Debian's node-formidable when node is not Debian's own.)
// The form holds the page's fields, then "width" and "height", then the
// picture as the file part "img" named "img.jpg", "img.png" or "img.bmp".
// The answer (JSON, ASCII only, so that either control hands it to script
// unchanged) names the fields in the order they arrived and the saved file.
//
// PIXMEND_CHARSET is the charset of the field names and values: utf-8 (the
// default) for npPixmend, the ANSI code page of the user's Windows (for
// example windows-1252) for Pixmend.
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const http = require('http');
const path = require('path');
const { formidable } = require('formidable');

const port = Number(process.argv[2] || 8080);
const charset = process.env.PIXMEND_CHARSET || 'utf-8';
const uploadDir = process.env.PIXMEND_UPLOAD_DIR || path.join(__dirname, 'uploads');
const fileField = process.env.PIXMEND_FILE_FIELD || 'img';

// formidable is told to read part headers and values as 'binary' (one
// character per byte), so that they can be decoded here in the real charset.
const decoder = new TextDecoder(charset);
// Some Node releases (20.x among them) decode windows-1252 as ISO-8859-1,
// turning 0x80 to 0x9F ("€", "’", "Œ", ...) into control characters.
const CP1252_80_9F = '€\x81‚ƒ„…†‡ˆ‰Š‹Œ\x8dŽ\x8f\x90‘’“”•–—˜™š›œ\x9džŸ';
const fixC1 = decoder.encoding === 'windows-1252' && decoder.decode(Buffer.from([0x80])) !== '€';
function text(bytes) {
  const decoded = decoder.decode(Buffer.from(bytes, 'latin1'));
  return fixC1 ? decoded.replace(/[\x80-\x9f]/g, (c) => CP1252_80_9F[c.charCodeAt(0) - 0x80]) : decoded;
}

function answer(res, status, reply) {
  const json = JSON.stringify(reply).replace(/[\u007f-\uffff]/g,
    (c) => '\\u' + c.charCodeAt(0).toString(16).padStart(4, '0'));
  res.writeHead(status, { 'Content-Type': 'application/json' });
  res.end(json + '\n');
}

function receive(req, res) {
  const fields = [];
  const form = formidable({ uploadDir, encoding: 'binary', maxFiles: 1 });
  form.on('field', (name, value) => fields.push([text(name), text(value)]));
  form.parse(req, (err, _fields, files) => {
    const file = files[fileField] && files[fileField][0];
    if (err || !file) {
      answer(res, 400, { error: err ? err.message : `no file part "${fileField}"` });
      return;
    }
    const name = text(file.originalFilename || '');
    // Never use the client's file name as a path: keep a known picture extension only.
    const extension = path.extname(name).slice(1).toLowerCase();
    if (!['jpg', 'png', 'bmp'].includes(extension)) {
      fs.unlink(file.filepath, () => answer(res, 400, { error: 'not a jpg, png or bmp file' }));
      return;
    }
    const saved = `${crypto.randomBytes(8).toString('hex')}.${extension}`;
    fs.rename(file.filepath, path.join(uploadDir, saved), (moveErr) => {
      if (moveErr) {
        answer(res, 500, { error: 'cannot save the file' });
        return;
      }
      answer(res, 200, {
        fields,
        file: { field: fileField, name, type: file.mimetype, size: file.size, saved },
      });
    });
  });
}

fs.mkdirSync(uploadDir, { recursive: true });
http.createServer((req, res) => {
  if (req.method !== 'POST') {
    answer(res, 405, { error: 'POST a form here' });
    return;
  }
  receive(req, res);
}).listen(port, '127.0.0.1');
