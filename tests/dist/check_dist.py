#!/usr/bin/env python3
"""check_dist.py README.md DIST_DIR OBJDUMP32 OBJDUMP64

Holds the archive that README.md's section "The distribution archive" names
(in DIST_DIR) to that section's table: exactly its files in one top folder,
SHA256SUMS verified, each DLL a PE file of its row's architecture with the
archive's version that passes the build's own DLL checks, each licence file
naming its library (licences/<library>/). Exit status 1 on any problem."""
import re
import struct
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path[:0] = [str(ROOT / "hosts/npapi"), str(ROOT / "tests/activex")]
import check_dll  # noqa: E402
import check_pe  # noqa: E402

MACHINES = {"32-bit": (0x14C, "pei-i386"), "64-bit": (0x8664, "pei-x86-64")}


def expected_files(section):
    """{path: what} from the table rows (folder | files | what) after the header."""
    rows = [line.strip("| ").split("|") for line in section.splitlines()
            if line.startswith("|") and not re.fullmatch(r"[-| :]+", line)]
    return {"".join(re.findall(r"`([^`]+)`", folder)) + name: what
            for folder, files, what in rows[1:] for name in re.findall(r"`([^`]+)`", files)}


def dll_problems(path, what, version, objdumps):
    arch = [a for a in MACHINES if a in what]
    if len(arch) != 1:
        return ["its row states no single architecture"]
    machine, objdump_format = MACHINES[arch[0]]
    try:
        pe = check_dll.Pe(path.read_bytes())
        fixed, _ = check_dll.version_info(next(iter(pe.resources().get(16, {}).values()), b""))
    except (ValueError, struct.error) as e:
        return [f"not a readable PE file ({e})"]
    found = fixed and "%d.%d.%d.%d" % (fixed[2] >> 16, fixed[2] & 0xFFFF,
                                       fixed[3] >> 16, fixed[3] & 0xFFFF)
    problems = [f"machine {pe.machine:#x}, expected {machine:#x}"] if pe.machine != machine else []
    problems += [f"file version {found}, the archive's is {version}"] if found != version else []
    if path.name == "npPixmend.dll":
        failed = check_dll.main(str(path), str(ROOT / "resources/SkinPng_np.rc"))
        return problems + (["fails hosts/npapi/check_dll.py"] if failed else [])
    return problems + check_pe.check(objdump_format, objdumps[arch[0]], str(path))


def main(readme, dist_dir, objdump32, objdump64):
    text = Path(readme).read_text(encoding="utf-8")
    section = text.split("\n## The distribution archive\n")[1].split("\n## ")[0]
    archive = Path(dist_dir, (re.findall(r"pixmend-[\d.]+\.zip", section) or ["(no archive named)"])[0])
    if not archive.is_file():
        return print(f"FAIL: {archive} does not exist") or 1
    top, expected = archive.stem, expected_files(section)
    with zipfile.ZipFile(archive) as zf, tempfile.TemporaryDirectory() as tmp:
        names = [n for n in zf.namelist() if not n.endswith("/")]  # files, not folders
        inside = {n[len(top) + 1:] for n in names if n.startswith(top + "/")}
        problems = [f"{n}: outside the top folder {top}/" for n in names if not n.startswith(top + "/")]
        problems += [f"{n}: in the archive, not in README" for n in sorted(inside - set(expected))]
        problems += [f"{n}: in README, not in the archive" for n in sorted(set(expected) - inside)]
        zf.extractall(tmp)
        folder = Path(tmp, top)
        summed = re.findall(r"^[0-9a-f]{64}  (.+)$", (folder / "SHA256SUMS").read_text(), re.M)
        if set(summed) != inside - {"SHA256SUMS"}:
            problems.append("SHA256SUMS does not list exactly the other files")
        run = subprocess.run(["sha256sum", "--check", "--strict", "--quiet", "SHA256SUMS"],
                             cwd=folder, capture_output=True, text=True)
        problems += ["sha256sum --check: " + (run.stdout + run.stderr).strip()] if run.returncode else []
        objdumps = {"32-bit": objdump32, "64-bit": objdump64}
        for name in sorted(inside & set(expected)):
            library = name.split("/")[1] if name.startswith("licences/") else None
            if name.endswith(".dll"):
                found = dll_problems(folder / name, expected[name], top.split("-")[1], objdumps)
                problems += [f"{name}: {p}" for p in found]
            elif library and library.lower() not in (folder / name).read_text(errors="replace").lower():
                problems.append(f"{name}: empty, or does not name {library}")
    for p in problems:
        print("FAIL:", p)
    print(f"{archive.name}: {len(inside)} files, {len(expected)} in README, {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]) if len(sys.argv) == 5 else __doc__)
