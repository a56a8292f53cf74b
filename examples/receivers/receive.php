<?php
// Receives one Pixmend upload and saves the picture.
//
//   PIXMEND_UPLOAD_DIR=/srv/uploads php -S 127.0.0.1:8080 receive.php
//
// The form holds the page's fields, then "width" and "height", then the
// picture as the file part "img" named "img.jpg", "img.png" or "img.bmp".
// The answer (JSON, ASCII only, so that either control hands it to script
// unchanged) names the fields in the order they arrived and the saved file.
//
// PIXMEND_CHARSET is the charset of the field names and values: UTF-8 (the
// default) for npPixmend, the ANSI code page of the user's Windows (for
// example windows-1252) for Pixmend. PHP turns dots and spaces in field names
// into underscores and keeps only the last of two fields with the same name.
$charset = getenv('PIXMEND_CHARSET') ?: 'UTF-8';
$uploadDir = getenv('PIXMEND_UPLOAD_DIR') ?: __DIR__ . '/uploads';
$fileField = getenv('PIXMEND_FILE_FIELD') ?: 'img';

function answer(int $status, array $reply): void
{
    http_response_code($status);
    header('Content-Type: application/json');
    echo json_encode($reply, JSON_INVALID_UTF8_SUBSTITUTE), "\n";
}

function to_utf8(string $text): string
{
    global $charset;
    $converted = iconv($charset, 'UTF-8', $text);
    return $converted === false ? $text : $converted;
}

$file = $_FILES[$fileField] ?? null;
if ($_SERVER['REQUEST_METHOD'] !== 'POST' || !is_array($file) || !is_string($file['name'])) {
    answer(400, ['error' => "no file part \"$fileField\""]);
    return;
}
if ($file['error'] !== UPLOAD_ERR_OK) {
    // UPLOAD_ERR_INI_SIZE: raise upload_max_filesize (2M by default) and post_max_size.
    answer(400, ['error' => "upload error {$file['error']}"]);
    return;
}

// Never use the client's file name as a path: keep a known picture extension only.
$extension = strtolower(pathinfo($file['name'], PATHINFO_EXTENSION));
if (!in_array($extension, ['jpg', 'png', 'bmp'], true)) {
    answer(400, ['error' => 'not a jpg, png or bmp file']);
    return;
}
$saved = bin2hex(random_bytes(8)) . ".$extension";
$haveDir = is_dir($uploadDir) || mkdir($uploadDir, 0755, true);
if (!$haveDir || !move_uploaded_file($file['tmp_name'], "$uploadDir/$saved")) {
    answer(500, ['error' => 'cannot save the file']);
    return;
}

$fields = [];
foreach ($_POST as $name => $value) {
    $fields[] = [to_utf8((string)$name), to_utf8(is_string($value) ? $value : json_encode($value))];
}
answer(200, [
    'fields' => $fields,
    'file' => [
        'field' => $fileField,
        'name' => to_utf8($file['name']),
        'type' => $file['type'],
        'size' => $file['size'],
        'saved' => $saved,
    ],
]);
