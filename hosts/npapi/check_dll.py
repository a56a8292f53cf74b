#!/usr/bin/env python3
"""Checks a built npPixmend.dll the way a browser and a customer see it:

    check_dll.py npPixmend.dll resources/SkinPng_np.rc

- exports: exactly NP_GetEntryPoints, NP_Initialize and NP_Shutdown under
  their plain names, plus symbols of the exported stream and image classes;
- imports: system DLLs only (no MinGW runtime, no image libraries);
- version resource: the keys browsers read to discover the plug-in;
- one "PNG" resource, a real PNG, per skin picture the resource script lists.

Reads the PE file directly, so it works for the 32-bit build this machine
cannot run. Prints what it found and exits 1 on the first kind of mismatch.
"""
import re
import struct
import sys

ENTRY_POINTS = {"NP_GetEntryPoints", "NP_Initialize", "NP_Shutdown"}
# Itanium-mangled class names as they appear inside exported symbols.
CLASSES = ("6PxFile", "8PxIOFile", "9PxMemFile", "7PxImage")
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "gdiplus.dll", "msimg32.dll", "ole32.dll",
    "oleaut32.dll", "shell32.dll", "comdlg32.dll", "wininet.dll", "ws2_32.dll", "secur32.dll",
    "advapi32.dll", "msvcrt.dll", "crypt32.dll", "shlwapi.dll", "comctl32.dll", "version.dll",
}
VERSION_STRINGS = {
    "MIMEType": "application/npPixmend",
    "ProductName": "npPixmend",
    "FileDescription": "Pixmend\u6807\u51c6\u7248",
    "InternalName": "npPixmend.dll",
    "OriginalFilename": "npPixmend.dll",
    "FileVersion": "1, 0, 3, 20662",
    "ProductVersion": "1, 0, 3, 20662",
    "PrivateBuild": "1, 0, 3, 20662",
    "SpecialBuild": "1, 0, 3, 20662",
}


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        dirs = opt + (96 if magic == 0x10B else 112)
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(sections):
            s = opt + opt_size + 40 * i
            vsize, va, rawsize, raw = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((va, max(vsize, rawsize), raw))

    def off(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %#x outside every section" % rva)

    def u16(self, rva):
        return struct.unpack_from("<H", self.data, self.off(rva))[0]

    def u32(self, rva):
        return struct.unpack_from("<I", self.data, self.off(rva))[0]

    def cstr(self, rva):
        start = self.off(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def exports(self):
        rva, size = self.dirs[0]
        if not size:
            return []
        count, names = self.u32(rva + 24), self.u32(rva + 32)
        return [self.cstr(self.u32(names + 4 * i)) for i in range(count)]

    def imports(self):
        found = []
        for index in (1, 13):  # ordinary and delay-load imports
            rva, size = self.dirs[index]
            step, name_at = (20, 12) if index == 1 else (32, 4)
            while size:
                name = self.u32(rva + name_at)
                if name == 0:
                    break
                found.append(self.cstr(name))
                rva += step
        return found

    def resources(self):
        """{type: {name: bytes}}; ids are ints, names str; first language."""
        base = self.dirs[2][0]
        if not base:
            return {}

        def entries(table):
            named, ids = self.u16(table + 12), self.u16(table + 14)
            for i in range(named + ids):
                key, value = self.u32(table + 16 + 8 * i), self.u32(table + 20 + 8 * i)
                if key & 0x80000000:
                    at = base + (key & 0x7FFFFFFF)
                    length = self.u16(at)
                    start = self.off(at + 2)
                    key = self.data[start:start + 2 * length].decode("utf-16-le")
                yield key, value

        result = {}
        for rtype, sub in entries(base):
            for name, lang_table in entries(base + (sub & 0x7FFFFFFF)):
                _, leaf = next(entries(base + (lang_table & 0x7FFFFFFF)))
                data_rva, data_size = self.u32(base + leaf), self.u32(base + leaf + 4)
                start = self.off(data_rva)
                result.setdefault(rtype, {})[name] = self.data[start:start + data_size]
        return result


def version_info(block):
    """(fixed file info tuple or None, value of key) from a VS_VERSIONINFO block."""
    at = block.find(struct.pack("<I", 0xFEEF04BD))
    fixed = struct.unpack_from("<13I", block, at) if at >= 0 else None

    def string(key):
        # A String node: its key, the terminator, padding to 32 bits, the value.
        at = block.find((key + "\0").encode("utf-16-le"))
        if at < 0 or at % 2:
            return None
        value = (at + 2 * len(key) + 2 + 3) & ~3
        end = value
        while block[end:end + 2] not in (b"\0\0", b""):
            end += 2
        return block[value:end].decode("utf-16-le")

    return fixed, string


def main(dll, skin_rc):
    pe = Pe(open(dll, "rb").read())
    problems = []

    exports = pe.exports()
    entry = {name for name in exports if name.startswith("NP_")}
    other = [name for name in exports if name not in ENTRY_POINTS]
    stray = [name for name in other if not any(c in name for c in CLASSES)]
    print("exports: %d (%s + %d class symbols)" % (len(exports), ", ".join(sorted(entry)), len(other)))
    if entry != ENTRY_POINTS:
        problems.append("entry points %s, expected %s" % (sorted(entry), sorted(ENTRY_POINTS)))
    if stray:
        problems.append("exports outside the entry points and classes: %s" % stray[:10])
    for cls in CLASSES:
        if not any(cls in name for name in other):
            problems.append("no export of class %s" % cls)

    imports = pe.imports()
    print("imports: " + ", ".join(imports))
    foreign = [name for name in imports if name.lower() not in SYSTEM_DLLS]
    if foreign:
        problems.append("imports of non-system DLLs: %s" % foreign)

    resources = pe.resources()
    fixed, string = version_info(next(iter(resources.get(16, {}).values()), b""))
    for key, expected in VERSION_STRINGS.items():
        if string(key) != expected:
            problems.append("version %s = %r, expected %r" % (key, string(key), expected))
    if not fixed or fixed[0] != 0xFEEF04BD:
        problems.append("no fixed version record")
    elif (fixed[2:6] != (0x10000, 0x350B6, 0x10000, 0x350B6) or fixed[7] & 0x28 != 0x28
          or fixed[9] != 2):
        problems.append("fixed version record %s" % [hex(v) for v in fixed])
    print("version: MIMEType %r" % string("MIMEType"))

    listed = re.findall(r"^\s*\w+\s+PNG\s+\"", open(skin_rc).read(), re.M)
    pngs = resources.get("PNG", {})
    bad = [name for name, data in pngs.items() if not data.startswith(b"\x89PNG\r\n\x1a\n")]
    print("PNG resources: %d (resource script lists %d)" % (len(pngs), len(listed)))
    if len(pngs) != len(listed) or not listed:
        problems.append("%d PNG resources, the skin script lists %d" % (len(pngs), len(listed)))
    if bad:
        problems.append("PNG resources that are not PNG pictures: %s" % bad)

    for problem in problems:
        print("FAIL: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
