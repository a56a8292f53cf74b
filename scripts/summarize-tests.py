#!/usr/bin/env python3
"""Totals the test results of the given build trees.

ctest writes <build>/ctest-junit.xml with one entry per test executable.
GoogleTest executables also write <build>/test-results/<name>.xml with one
entry per test case; where that report exists its cases are counted, else the
ctest entry counts as one test.

How a ctest entry counts:
  - run, or failed: the cases of its report (one test if it has none). A
    failed entry whose report shows no failing case (a crash or sanitizer
    report after the last case, a time-out) adds one failure.
  - skipped through its SKIP_RETURN_CODE, or disabled: one skip.
  - not run for any other reason (program missing, required file missing):
    one failure; a report left from an earlier run is not read.
  - an end-to-end suite (ctest label "e2e") runs inside a server wrapper and
    has nothing to skip: each skipped case or a skip of the whole entry
    counts as a failure, since it means the wrapper did not hand over its
    servers.
  - an entry whose command asks GoogleTest for a report and left none
    counts as a failure: its wrapper ended well without running it.
Every build listed in build/failed-builds adds one failure (its tree is not
read), and any other build tree without ctest results adds one. Prints a line per suite and the closing
"N passed, N failed" line (", N skipped" follows when there are skips).
"""
import json
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

E2E_LABEL = "e2e"


def ctest_entries(build_dir):
    """(name, outcome) for every test ctest ran in a build tree; outcome is
    "pass", "fail", "skip" or "notrun"."""
    try:
        root = ET.parse(os.path.join(build_dir, "ctest-junit.xml")).getroot()
    except (OSError, ET.ParseError):
        return []
    entries = []
    for case in root.iter("testcase"):
        status = case.get("status")
        skipped = case.find("skipped")
        if status == "run" and case.find("failure") is None:
            outcome = "pass"
        elif status == "disabled":
            outcome = "skip"
        elif status == "notrun" and skipped is not None and \
                skipped.get("message", "").startswith("SKIP_"):
            outcome = "skip"  # SKIP_RETURN_CODE or SKIP_REGULAR_EXPRESSION
        elif status == "notrun":
            outcome = "notrun"
        else:
            outcome = "fail"
        entries.append((case.get("name"), outcome))
    return entries


def test_kinds(build_dir):
    """{name: (e2e, writes_report)} asked of ctest itself: whether the test
    carries the e2e label, and whether its command asks GoogleTest for an XML
    report."""
    try:
        listing = subprocess.run(["ctest", "--test-dir", build_dir, "--show-only=json-v1"],
                                 capture_output=True, text=True, check=True).stdout
        tests = json.loads(listing).get("tests", [])
    except (OSError, subprocess.CalledProcessError, ValueError):
        return {}
    kinds = {}
    for test in tests:
        labels = [v for prop in test.get("properties", []) if prop.get("name") == "LABELS"
                  for v in prop.get("value", [])]
        report = any(str(arg).startswith("--gtest_output=xml:") for arg in test.get("command", []))
        kinds[test.get("name")] = (E2E_LABEL in labels, report)
    return kinds


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


def entry_counts(build_dir, name, outcome, e2e, writes_report):
    """(passed, failed, skipped) of one ctest entry."""
    if outcome == "notrun":
        return 0, 1, 0
    if outcome == "skip":
        return (0, 1, 0) if e2e else (0, 0, 1)
    counts = gtest_counts(build_dir, name)
    if counts is None:
        # A GoogleTest program always writes the report it is asked for;
        # without one, whatever ran it ended well without running it.
        return (1, 0, 0) if outcome == "pass" and not writes_report else (0, 1, 0)
    p, f, s = counts
    if outcome != "pass" and f == 0:
        f = 1  # died after its last case, or timed out
    if e2e and s:
        f, s = f + s, 0
    return p, f, s


def failed_builds():
    """Presets whose build failed in this run (build/failed-builds)."""
    try:
        with open(os.path.join("build", "failed-builds")) as f:
            return [line.strip().split(":", 1)[-1] for line in f if line.strip()]
    except OSError:
        return []


def main(dirs):
    passed = failed = skipped = 0
    broken = failed_builds()
    for d in dirs:
        if os.path.basename(os.path.normpath(d)) in broken:
            continue  # counted once below, as its build
        entries = ctest_entries(d)
        if not entries:
            print(f"  {d}: no ctest results")
            failed += 1
            continue
        kinds = test_kinds(d)
        for name, outcome in entries:
            e2e, writes_report = kinds.get(name, (False, False))
            p, f, s = entry_counts(d, name, outcome, e2e, writes_report)
            passed, failed, skipped = passed + p, failed + f, skipped + s
            line = f"  {os.path.basename(d)}/{name}: {p} passed, {f} failed"
            if s:
                line += f", {s} skipped"
            if outcome == "notrun":
                line += " (not run)"
            elif f and writes_report and gtest_counts(d, name) is None:
                line += " (no report: the suite did not run)"
            elif e2e and (outcome == "skip" or (gtest_counts(d, name) or (0, 0, 0))[2]):
                line += " (an end-to-end suite skipped: its servers were not handed over)"
            print(line)
    for preset in broken:
        print(f"  build:{preset}: build failed")
        failed += 1
    line = f"{passed} passed, {failed} failed"
    if skipped:
        line += f", {skipped} skipped"
    print(line)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
