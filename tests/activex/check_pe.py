#!/usr/bin/env python3
"""Checks Pixmend.dll's exports, imported DLLs and resources from objdump -p:
  check_pe.py MACHINE OBJDUMP DLL [MACHINE OBJDUMP DLL ...]
(MACHINE: objdump's file format, pei-i386 or pei-x86-64). Prints each failed
check; exit status 1 if any failed."""
import re
import subprocess
import sys

ENTRY_POINTS = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                "DllUnregisterServer", "DllInstall"}
EXPORTED_CLASSES = {"PxFile", "PxIOFile", "PxMemFile", "PxImage"}
REQUIRED_IMPORTS = {"ole32.dll", "oleaut32.dll", "rpcrt4.dll", "advapi32.dll", "kernel32.dll"}
RUNTIME_DLL = re.compile(r"^(libgcc|libstdc\+\+|libwinpthread|libjpeg|libpng|zlib|libz)", re.I)
# (type, id): the registry scripts, the type library, the string block of
# string 100 ((100 / 16) + 1 under RT_STRING = 6) and the version (16).
RESOURCES = {("REGISTRY", 101), ("REGISTRY", 102), ("TYPELIB", 1), (6, 7), (16, 1)}


def exported_class(symbol):
    """The class of an Itanium-mangled member, vtable or typeinfo, or None."""
    m = re.match(r"_Z(?:NK?|T[VIS])(\d+)", symbol)
    if not m:
        return None
    start = m.end()
    return symbol[start:start + int(m.group(1))]


def resource_ids(text):
    """(type, id) pairs of the resource tree objdump prints."""
    found, level_type = set(), None
    for line in text.splitlines():
        m = re.match(r"^[0-9a-f]+( +)Entry: (?:name: \[[^\]]*\]: (\S+),|ID: (0x[0-9a-f]+),)", line)
        if not m:
            continue
        depth = len(m.group(1))
        key = m.group(2) if m.group(2) else int(m.group(3), 16)
        if depth == 3:
            level_type = key
        elif depth == 5:
            found.add((level_type, key))
    return found


def check(machine, objdump, dll):
    try:
        text = subprocess.run([objdump, "-p", dll], check=True, capture_output=True,
                              text=True, errors="replace").stdout
    except (OSError, subprocess.CalledProcessError) as e:
        return [f"{dll}: cannot read ({e}); build it first"]
    errors = []
    fmt = re.search(r"file format (\S+)", text)
    if not fmt or fmt.group(1) != machine:
        errors.append(f"file format {fmt.group(1) if fmt else '?'}, expected {machine}")

    table = text.split("[Ordinal/Name Pointer] Table", 1)
    exports = re.findall(r"^\s+\[\s*\d+\] (\S+)$", table[1].split("\n\n", 1)[0], re.M) \
        if len(table) == 2 else []
    missing = ENTRY_POINTS - set(exports)
    if missing:
        errors.append(f"entry points not exported (undecorated): {sorted(missing)}")
    for name in exports:
        if name not in ENTRY_POINTS and exported_class(name) not in EXPORTED_CLASSES:
            errors.append(f"unexpected export {name}")
    if not any(exported_class(n) == "PxMemFile" for n in exports):
        errors.append("the stream classes are not exported")

    imports = {d.lower() for d in re.findall(r"DLL Name: (\S+)", text)}
    for dll_name in sorted(REQUIRED_IMPORTS - imports):
        errors.append(f"does not import {dll_name}")
    for dll_name in sorted(imports):
        if RUNTIME_DLL.match(dll_name):
            errors.append(f"imports the run-time DLL {dll_name}")

    rsrc = text.split("The .rsrc Resource Directory section", 1)
    have = resource_ids(rsrc[1]) if len(rsrc) == 2 else set()
    for missing_resource in sorted(RESOURCES - have, key=str):
        errors.append(f"resource {missing_resource} missing")
    return [f"{dll}: {e}" for e in errors]


def main(args):
    if not args or len(args) % 3:
        print(__doc__)
        return 2
    errors = []
    for i in range(0, len(args), 3):
        errors += check(*args[i:i + 3])
    for e in errors:
        print("FAIL:", e)
    print(f"{len(args) // 3} DLL(s) checked, {len(errors)} problem(s)")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
