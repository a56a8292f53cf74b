#!/usr/bin/env python3
"""scripts/test.sh and scripts/summarize-tests.py over throw-away projects.

Each case copies the two scripts into a fresh tree with its own CMakeLists.txt
and presets (every preset of the real project, each a tiny build), runs
`test.sh PRESET` and compares the closing line with the expected totals.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest

SCRIPTS = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../../scripts")
PRESETS = ["native", "win64", "win32", "bench", "fuzz"]

# A test program that writes a GoogleTest report: report.sh NAME TESTS SKIPPED.
REPORT = """mkdir -p test-results
printf '<testsuites tests="%s" failures="0" errors="0" skipped="%s" disabled="0"/>' "$2" "$3" > test-results/$1.xml
"""

# The benchmark report's --list check, which test.sh runs after the bench
# build; these trees have no benchmarks to list.
BENCH_LIST = "#!/bin/sh\nexit 0\n"


def gtest_like(name, tests, skipped, labels):
    return (f"add_test(NAME {name} COMMAND sh ${{CMAKE_SOURCE_DIR}}/report.sh {name} {tests} {skipped})\n"
            f"set_tests_properties({name} PROPERTIES LABELS \"{labels}\")\n")


def project(body):
    return "cmake_minimum_required(VERSION 3.20)\nproject(probe NONE)\nenable_testing()\n" + body


def presets():
    configure = [{"name": p, "generator": "Ninja", "binaryDir": "${sourceDir}/build/" + p} for p in PRESETS]
    build = [{"name": p, "configurePreset": p} for p in PRESETS]
    import json
    return json.dumps({"version": 3, "configurePresets": configure, "buildPresets": build})


class Runner(unittest.TestCase):
    def run_tree(self, cmakelists, preset="native", seed=None):
        """Runs test.sh PRESET in a fresh tree; returns (status, last line, tree)."""
        tree = tempfile.mkdtemp(prefix="pixmend-runner-")
        self.addCleanup(shutil.rmtree, tree, True)
        os.makedirs(os.path.join(tree, "scripts"))
        for script in ("test.sh", "summarize-tests.py"):
            shutil.copy(os.path.join(SCRIPTS, script), os.path.join(tree, "scripts", script))
        with open(os.path.join(tree, "CMakeLists.txt"), "w") as f:
            f.write(cmakelists)
        with open(os.path.join(tree, "CMakePresets.json"), "w") as f:
            f.write(presets())
        for path, text in dict({"bench/report.py": BENCH_LIST}, **dict(seed or {}, **{"report.sh": REPORT})).items():
            full = os.path.join(tree, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w") as f:
                f.write(text)
        os.chmod(os.path.join(tree, "bench/report.py"), 0o755)
        env = dict(os.environ, PIXMEND_TEST_JOBS="2")
        for name in ("CMAKE_CXX_COMPILER_LAUNCHER", "CMAKE_C_COMPILER_LAUNCHER"):
            env.pop(name, None)
        done = subprocess.run(["bash", os.path.join(tree, "scripts", "test.sh")] + ([preset] if preset else []),
                              cwd=tree, env=env, capture_output=True, text=True, timeout=240)
        lines = done.stdout.strip().splitlines()
        return done.returncode, (lines[-1] if lines else ""), tree

    def test_totals(self):
        cases = [
            # (what, CMakeLists body, expected closing line, expected status)
            ("a passing program", "add_test(NAME ok COMMAND true)\n", "1 passed, 0 failed", 0),
            ("a failing program", "add_test(NAME ok COMMAND true)\nadd_test(NAME bad COMMAND false)\n",
             "1 passed, 1 failed", 1),
            ("a program that is missing is not run: a failure",
             "add_test(NAME ok COMMAND true)\nadd_test(NAME gone COMMAND /nonexistent/program)\n",
             "1 passed, 1 failed", 1),
            ("a required file that is missing: a failure",
             "add_test(NAME req COMMAND true)\n"
             "set_tests_properties(req PROPERTIES REQUIRED_FILES /nonexistent/file)\n",
             "0 passed, 1 failed", 1),
            ("SKIP_RETURN_CODE is a skip",
             "add_test(NAME ok COMMAND true)\nadd_test(NAME skip COMMAND sh -c \"exit 77\")\n"
             "set_tests_properties(skip PROPERTIES SKIP_RETURN_CODE 77)\n",
             "1 passed, 0 failed, 1 skipped", 0),
            ("an end-to-end suite that skips itself fails",
             "add_test(NAME e2e COMMAND sh -c \"exit 77\")\n"
             "set_tests_properties(e2e PROPERTIES SKIP_RETURN_CODE 77 LABELS \"np;e2e\")\n",
             "0 passed, 1 failed", 1),
            ("report cases are counted, skipped cases as skips",
             gtest_like("cases", 5, 2, "np"), "3 passed, 0 failed, 2 skipped", 0),
            ("a suite asked for a report that wrote none did not run",
             "add_test(NAME e2e COMMAND true --gtest_output=xml:e2e.xml)\n"
             "add_test(NAME plain COMMAND true)\nset_tests_properties(e2e plain PROPERTIES LABELS \"np;e2e\")\n",
             "1 passed, 1 failed", 1),
            ("skipped cases of an end-to-end suite are failures",
             gtest_like("cases", 5, 2, "np;e2e"), "3 passed, 2 failed", 1),
        ]
        for what, body, line, status in cases:
            with self.subTest(what):
                got_status, got_line, _ = self.run_tree(project(body))
                self.assertEqual(got_line, line)
                self.assertEqual(got_status, status)

    def test_failed_build_does_not_count_an_earlier_run(self):
        stale = ('<testsuite tests="3"><testcase name="a" status="run"/><testcase name="b" status="run"/>'
                 '<testcase name="c" status="run"/></testsuite>')
        report = '<testsuites tests="40" failures="0" errors="0" skipped="0"/>'
        body = "add_custom_target(broken ALL COMMAND false)\nadd_test(NAME a COMMAND true)\n"
        status, line, _ = self.run_tree(project(body), seed={
            "build/native/ctest-junit.xml": stale, "build/native/test-results/a.xml": report})
        self.assertEqual(line, "0 passed, 1 failed")
        self.assertEqual(status, 1)

    def test_one_preset_runs_alone(self):
        status, line, tree = self.run_tree(project("add_test(NAME ok COMMAND true)\n"), preset="win32")
        self.assertEqual((status, line), (0, "0 passed, 0 failed"))
        self.assertEqual(sorted(os.listdir(os.path.join(tree, "build"))), ["win32"])

    def test_failing_benchmark_list_is_a_failure(self):
        status, line, _ = self.run_tree(project(""), preset="bench",
                                        seed={"bench/report.py": "#!/bin/sh\nexit 1\n"})
        self.assertEqual((status, line), (1, "0 passed, 1 failed"))

    def test_every_preset_builds_by_default(self):
        body = "add_custom_target(broken ALL COMMAND test ${CMAKE_BINARY_DIR} != ${CMAKE_SOURCE_DIR}/build/fuzz)\n" \
               "add_test(NAME ok COMMAND true)\n"
        status, line, tree = self.run_tree(project(body), preset=None)
        # native and win64 run their one test; the fuzz build is made to fail.
        self.assertEqual((status, line), (1, "2 passed, 1 failed"))
        self.assertEqual(sorted(os.listdir(os.path.join(tree, "build"))), sorted(PRESETS + ["failed-builds"]))


if __name__ == "__main__":
    unittest.main()
