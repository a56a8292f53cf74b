#!/usr/bin/env python3
"""Assembles the distribution archive from the two Windows build trees:

    make-dist.py [--out DIR] [--cache DIR] WIN32_BUILD WIN64_BUILD

writes DIR/pixmend-<version>.zip (DIR defaults to build/dist) with one top
folder pixmend-<version>/ holding, per architecture, each DLL beside the kit
whose scripts register "the DLL beside the script"; the example receivers;
README.md; the licence texts of the libraries linked into the DLLs, found on
this machine; and SHA256SUMS of every other file. README.md's section "The
distribution archive" describes the result and the test suite holds the
archive to it.

The version is the FILEVERSION of resources/npPixmend.rc. The 64-bit DLLs
come from a RelWithDebInfo build: their copies lose the debug sections. The
entries are sorted and carry one fixed time and mode, so the same inputs give
the same bytes.
"""
import argparse
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# Archive folder -> (DLL in a build tree, the kit that registers it).
KITS = {
    "npapi": ("hosts/npapi/npPixmend.dll",
              ["hosts/npapi/kit/register.cmd", "hosts/npapi/kit/npPixmend.reg",
               "hosts/npapi/kit/example.html"]),
    "activex": ("hosts/activex/Pixmend.dll",
                ["examples/activex/install.cmd", "examples/activex/pixmend.html"]),
}
# Architecture folder -> (dependency triple, strip program for its debug
# sections or None to ship the DLL as built).
ARCHES = {
    "win32": ("i686-w64-mingw32", None),
    "win64": ("x86_64-w64-mingw32", "x86_64-w64-mingw32-strip"),
}
RECEIVERS = ["examples/receivers/receive.php", "examples/receivers/receive.js",
             "examples/receivers/receive.py"]

# Libraries cross-built from Debian source packages (scripts/setup-deps.sh):
# licence folder, source package, licence files in its tree.
SOURCE_LICENCES = [
    ("libjpeg-turbo", "libjpeg-turbo", ["LICENSE.md", "README.ijg"]),
    ("libpng", "libpng1.6", ["LICENSE"]),
    ("libtiff", "tiff", ["LICENSE.md"]),
]
# Libraries linked from Debian's MinGW packages: licence folder, the package
# whose copyright file covers it. libgcc and libstdc++ come with the compiler;
# winpthreads with the MinGW-w64 run time (the same file for both targets).
PACKAGE_LICENCES = [
    ("zlib", "libz-mingw-w64-dev"),
    ("gcc", "gcc-mingw-w64-base"),
    ("winpthreads", "mingw-w64-i686-dev"),
]

FIXED_TIME = (1980, 1, 1, 0, 0, 0)  # the earliest time a zip entry can hold


def fail(message):
    sys.exit("make-dist: " + message)


def read(path):
    try:
        return Path(path).read_bytes()
    except OSError as e:
        fail(f"{e.filename}: {e.strerror}")


def version():
    rc = (ROOT / "resources/npPixmend.rc").read_text(encoding="utf-8", errors="replace")
    m = re.search(r"^\s*FILEVERSION\s+(\d+),(\d+),(\d+),(\d+)", rc, re.M)
    if not m:
        fail("no FILEVERSION in resources/npPixmend.rc")
    return ".".join(m.groups())


def source_tree(cache, package):
    """The unpacked Debian source the cached libraries were built from, read
    from each triple's build stamp; both triples must name the same version."""
    versions = set()
    for triple, _ in ARCHES.values():
        stamp = Path(cache, "deps", triple, ".stamp")
        m = re.search(rf"^{re.escape(package)}=(.+)$", read(stamp).decode(), re.M)
        if not m:
            fail(f"{stamp} names no {package}; run scripts/setup-deps.sh")
        versions.add(m.group(1).split(":", 1)[-1])  # the folder drops the epoch
    if len(versions) != 1:
        fail(f"the triples were built from different {package} versions {sorted(versions)}")
    folder = Path(cache, "src", f"{package}_{versions.pop()}")
    trees = sorted(p for p in folder.glob("*") if p.is_dir()) if folder.is_dir() else []
    if len(trees) != 1:
        fail(f"{folder}: expected one unpacked source tree; run scripts/setup-deps.sh")
    return trees[0]


def dll_bytes(path, strip):
    data = read(path)
    if not strip:
        return data
    # strip stamps the PE header with the time it runs unless SOURCE_DATE_EPOCH
    # is set: hand it the link time, so the copy keeps the build's stamp.
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    link_time = struct.unpack_from("<I", data, pe + 8)[0]
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(link_time))
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp, path.name)
        subprocess.run([strip, "--strip-debug", "-o", str(out), str(path)], check=True, env=env)
        return out.read_bytes()


def contents(win32_build, win64_build, cache):
    """{archive path: bytes} of everything but SHA256SUMS."""
    files = {"README.md": read(ROOT / "README.md")}
    for arch, build in (("win32", win32_build), ("win64", win64_build)):
        strip = ARCHES[arch][1]
        for folder, (dll, kit) in KITS.items():
            dll = Path(build, dll)
            files[f"{arch}/{folder}/{dll.name}"] = dll_bytes(dll, strip)
            for f in kit:
                files[f"{arch}/{folder}/{Path(f).name}"] = read(ROOT / f)
    for f in RECEIVERS:
        files[f"receivers/{Path(f).name}"] = read(ROOT / f)
    for folder, package, names in SOURCE_LICENCES:
        tree = source_tree(cache, package)
        for name in names:
            files[f"licences/{folder}/{name}"] = read(tree / name)
    for folder, package in PACKAGE_LICENCES:
        files[f"licences/{folder}/copyright"] = read(f"/usr/share/doc/{package}/copyright")
    return files


def write_zip(path, top, files):
    tmp = path.with_suffix(".tmp")
    with zipfile.ZipFile(tmp, "w") as zf:
        for name in sorted(files):
            info = zipfile.ZipInfo(f"{top}/{name}", FIXED_TIME)
            info.create_system = 3  # Unix, so that the mode below is read
            info.external_attr = 0o644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            zf.writestr(info, files[name], compresslevel=9)
    os.replace(tmp, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("win32_build")
    parser.add_argument("win64_build")
    parser.add_argument("--out", default=ROOT / "build/dist", type=Path)
    parser.add_argument("--cache", default=os.environ.get("PIXMEND_CACHE") or "/var/cache/pixmend")
    args = parser.parse_args()

    files = contents(args.win32_build, args.win64_build, args.cache)
    files["SHA256SUMS"] = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n"
                                  for name, data in sorted(files.items())).encode()
    top = f"pixmend-{version()}"
    args.out.mkdir(parents=True, exist_ok=True)
    archive = args.out / f"{top}.zip"
    write_zip(archive, top, files)
    print(f"{archive}: {len(files)} files, {archive.stat().st_size} bytes")


if __name__ == "__main__":
    main()
