#!/usr/bin/env python3
"""Totals the test results of the given build trees.

ctest writes <build>/ctest-junit.xml with one entry per test executable.
GoogleTest executables also write <build>/test-results/<name>.xml with one
entry per test case; where that report exists its cases are counted, else the
ctest entry counts as one test. A ctest entry that failed although its report
shows no failing case (a crash or sanitizer report after the last case, a
time-out) adds one failure, and so does every build listed in
build/failed-builds. Prints a line per suite and the closing
"N passed, N failed" line.
"""
import os
import sys
import xml.etree.ElementTree as ET


def ctest_entries(build_dir):
    """(name, passed) for every test ctest ran in a build tree."""
    try:
        root = ET.parse(os.path.join(build_dir, "ctest-junit.xml")).getroot()
    except (OSError, ET.ParseError):
        return []
    entries = []
    for case in root.iter("testcase"):
        ok = case.get("status") == "run" and case.find("failure") is None
        entries.append((case.get("name"), ok))
    return entries


def gtest_counts(build_dir, name):
    """(passed, failed, skipped) from a GoogleTest report, or None."""
    try:
        root = ET.parse(os.path.join(build_dir, "test-results", name + ".xml")).getroot()
    except (OSError, ET.ParseError):
        return None
    tests = int(root.get("tests", 0))
    fails = int(root.get("failures", 0)) + int(root.get("errors", 0))
    skips = int(root.get("skipped", 0)) + int(root.get("disabled", 0))
    return tests - fails - skips, fails, skips


def main(dirs):
    passed = failed = skipped = 0
    for d in dirs:
        entries = ctest_entries(d)
        if not entries:
            print(f"  {d}: no ctest results")
            failed += 1
        for name, ok in entries:
            counts = gtest_counts(d, name)
            if counts is None:
                p, f, s = (1, 0, 0) if ok else (0, 1, 0)
            else:
                p, f, s = counts
                if not ok and f == 0:
                    f = 1  # died after its last case, or timed out
            passed, failed, skipped = passed + p, failed + f, skipped + s
            print(f"  {os.path.basename(d)}/{name}: {p} passed, {f} failed")
    marker = os.path.join("build", "failed-builds")
    if os.path.exists(marker):
        with open(marker) as f:
            for line in f:
                print(f"  {line.strip()}: build failed")
                failed += 1
    line = f"{passed} passed, {failed} failed"
    if skipped:
        line += f", {skipped} skipped"
    print(line)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
