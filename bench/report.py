#!/usr/bin/python3
"""Runs every benchmark beside its reference tool and writes one table of ratios.

    bench/report.py [--quick] [--no-build] [--sections NAME,...] [--out FILE]
    bench/report.py --list [--sections NAME,...]

Builds the benchmark programs (the bench preset, and editor_bench_np.exe and
pxpost_np.exe of the win64 preset), makes the codec pictures once, runs each
section's script with --json and writes one Markdown table to stdout and to
build/bench/report.md (the rows as JSON beside it, report.json). Progress and
build output go to stderr.

A row is one comparison in one run: our time, the reference's time and
ratio = ours / reference, so a ratio over 1 means slower than the reference.
The goal is parity (ratio <= 1) unless the row says otherwise; some rows
have an absolute goal in milliseconds instead, some (ours only, or against a
floor such as memcpy) none. Rows over their goal are marked OVER. The header
records the machine and its load at the start and end and per section, since
wall times on a shared machine move with it.

--quick runs few repetitions (a smoke run; the figures are rough). --list
runs nothing: it checks that every program, script, option, benchmark name
and tool the sections would use is there, and exits non-zero when one is
missing. The exit status is non-zero only when something failed to run,
never for a row over its goal.
"""
import argparse
import datetime
import json
import os
import resource
import shlex
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import gbench  # noqa: E402

BENCH_DIR = os.path.join(ROOT, "build", "bench")
BENCH_BIN = os.path.join(BENCH_DIR, "bench")
WIN64 = os.path.join(ROOT, "build", "win64")
PICTURES = os.path.join(BENCH_DIR, "pictures")
PROGRAMS = {
    "codec_bench": ("bench", os.path.join(BENCH_BIN, "codec_bench")),
    "image_bench": ("bench", os.path.join(BENCH_BIN, "image_bench")),
    "canvas_bench": ("bench", os.path.join(BENCH_BIN, "canvas_bench")),
    "editor_bench_np": ("win64", os.path.join(WIN64, "bench", "editor_bench_np.exe")),
    "pxpost_np": ("win64", os.path.join(WIN64, "tools", "pxpost_np.exe")),
}


# Benchmarks without a reference tool, run by this script itself.
IMAGE_ONLY = "BM_RotateClockwise|BM_MemcpySameBytes|BM_Crop400"
CANVAS_ONLY = "OpenPicture|LibraryFitToBox|ZoomInSequence|DragMove"


def program(name):
    return PROGRAMS[name][1]


def script(*parts):
    return os.path.join(HERE, *parts)


class Section:
    """One group of comparisons: a script printing JSON rows (argv), or, for
    argv None, the benchmarks without a reference tool, run here.
    programs: names in PROGRAMS; filters: (program, benchmark filter) pairs
    that must select something; tools: commands that must be on PATH."""

    def __init__(self, name, programs, argv=None, quick=(), filters=(), tools=()):
        self.name, self.programs, self.argv, self.quick = name, programs, argv, list(quick)
        self.filters, self.tools = filters, tools

    def command(self, quick):
        return [sys.executable] + self.argv + (self.quick if quick else [])


SECTIONS = [
    Section("codecs", ["codec_bench"],
            [script("pillow_codecs.py"), PICTURES, "--bench", program("codec_bench"), "--json"],
            ["--repeat", "2", "--bench-repeat", "1"],
            [("codec_bench", "BM_Decode|BM_Encode")], ["convert"]),
    Section("resize", ["image_bench"],
            [script("pillow_resize.py"), "--bench", program("image_bench"), "--json"],
            ["--repeat", "2"], [("image_bench", "BM_FitToBox")]),
    Section("zoom", ["canvas_bench", "image_bench"],
            [script("pillow_zoom.py"), "--canvas-bench", program("canvas_bench"),
             "--image-bench", program("image_bench"), "--json"],
            ["--repeat", "2"], [("canvas_bench", "ZoomStep")]),
    Section("ours-only", ["image_bench", "canvas_bench"],
            filters=[("image_bench", IMAGE_ONLY), ("canvas_bench", CANVAS_ONLY)]),
    Section("editor", ["editor_bench_np"],
            [script("editor_bench.py"), "--bench", program("editor_bench_np"), "--json"],
            ["--repeat", "2"], tools=["wine64", "xvfb-run"]),
    Section("upload", ["pxpost_np"],
            [script("upload", "upload_bench.py"), "--pxpost", program("pxpost_np"), "--json"],
            ["--runs", "3"], tools=["wine64", "xvfb-run", "curl", "openssl"]),
]


def ours_only_rows(quick):
    """Benchmarks that have no reference tool: rotation beside a plain copy
    of the same bytes (its floor), the crop, and the canvas's own cases."""
    repeat = 1 if quick else 3
    image = {r["base"]: r for r in gbench.run(program("image_bench"), IMAGE_ONLY, repeat)}
    canvas = gbench.run(program("canvas_bench"), CANVAS_ONLY, repeat)

    def row(what, ours, reference=None, ref_ms=None, note=""):
        return dict(what=what, measure="CPU", ours_ms=ours, reference=reference, ref_ms=ref_ms, note=note)

    rows = [row("rotate 4000x3000 24-bpp clockwise", image["BM_RotateClockwise"]["cpu_ms"],
                "memcpy of the same bytes", image["BM_MemcpySameBytes"]["cpu_ms"], "the floor, not a goal"),
            row("rotate 4000x3000 8-bpp clockwise", image["BM_RotateClockwise8"]["cpu_ms"]),
            row("crop 400x400 out of 6000x4000", image["BM_Crop400"]["cpu_ms"])]
    for b in canvas:
        if b["base"] == "OpenPicture":
            rows.append(row("canvas: open 6000x4000 JPEG (decode + fit)", b["cpu_ms"]))
        elif b["base"] == "LibraryFitToBox":
            rows.append(row("canvas: zoom step %d to %s as FitToBox into a new image"
                            % (b["args"][0], b["label"]), b["cpu_ms"]))
        elif b["base"] == "ZoomInSequence":
            rows.append(row("canvas: 15 zoom steps from open, per step", b["cpu_ms"] / 15,
                            note="first-touch page faults included"))
        elif b["base"] == "DragMove":
            rows.append(row("canvas: drag move (model only)", b["cpu_ms"]))
    return rows


# ---- the machine and its load ------------------------------------------------

def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def cpu_seconds():
    """(seconds any core was busy, seconds this process and its finished
    children used), to tell this run's CPU from everybody else's."""
    with open("/proc/stat") as f:
        fields = [int(v) for v in f.readline().split()[1:]]
    busy = (sum(fields[:8]) - fields[3] - fields[4]) / os.sysconf("SC_CLK_TCK")
    own = sum(getattr(resource.getrusage(who), attr) for who in (resource.RUSAGE_SELF, resource.RUSAGE_CHILDREN)
              for attr in ("ru_utime", "ru_stime"))
    return busy, own


class LoadMeter:
    def __init__(self):
        self.wall = time.monotonic()
        self.busy, self.own = cpu_seconds()

    def summary(self):
        wall = max(time.monotonic() - self.wall, 1e-6)
        busy, own = cpu_seconds()
        return "%.0f s, cores busy %.1f (this run %.1f)" % (wall, (busy - self.busy) / wall, (own - self.own) / wall)


# ---- running -----------------------------------------------------------------

def rel(path):
    """A path under the repository as a relative one, for the messages."""
    return os.path.relpath(path, ROOT) if path.startswith(ROOT) else path


def shown(command):
    """The program a failed command ran, for the failure line."""
    return rel(command[1] if command[0] == sys.executable else command[0])


def note(text):
    print("report: " + text, file=sys.stderr, flush=True)


def build(presets):
    for preset in ("bench", "win64"):
        targets = [name for name, (p, _) in PROGRAMS.items() if p == preset and name in presets]
        if not targets:
            continue
        note("building %s: %s" % (preset, " ".join(targets)))
        subprocess.run(["cmake", "--preset", preset], cwd=ROOT, check=True, stdout=sys.stderr)
        subprocess.run(["cmake", "--build", "--preset", preset, "-j2", "--target"] + targets,
                       cwd=ROOT, check=True, stdout=sys.stderr)


def make_pictures():
    if all(os.path.exists(os.path.join(PICTURES, n)) for n in ("big.jpg", "big.png", "big.bmp")):
        return
    note("making the codec pictures in " + PICTURES)
    subprocess.run(["bash", script("make_codec_images.sh"), PICTURES], check=True, stdout=sys.stderr)


def run_section(section, quick):
    if section.argv is None:
        return ours_only_rows(quick)
    command = section.command(quick)
    note("running " + " ".join(shlex.quote(rel(a)) for a in command[1:]))
    out = subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True, cwd=ROOT).stdout
    return json.loads(out)["rows"]


def check(sections):
    """--list: every program, script, option, benchmark and tool is there."""
    missing = []

    def verdict(ok, what):
        print("%-8s %s" % ("ok" if ok else "MISSING", what))
        if not ok:
            missing.append(what)

    for section in sections:
        print("== %s" % section.name)
        for name in section.programs:
            verdict(os.access(program(name), os.X_OK), rel(program(name)))
        for name, pattern in section.filters:
            try:
                names = gbench.listed(program(name), pattern)
            except (OSError, subprocess.CalledProcessError):
                names = []
            ok = all(any(n.startswith(part) for n in names) for part in pattern.split("|"))
            verdict(ok, "%s has every benchmark of %s" % (name, pattern))
        if section.argv:
            print("         " + " ".join(rel(a) for a in section.command(False)[1:]))
            helped = subprocess.run([sys.executable, section.argv[0], "--help"], capture_output=True, text=True)
            options = [a for a in section.argv + section.quick if a.startswith("--")]
            verdict(helped.returncode == 0 and all(o in helped.stdout for o in options),
                    "%s --help runs and offers %s" % (rel(section.argv[0]), " ".join(options)))
        for tool in section.tools:  # wine-run.sh also looks where Debian puts Wine's tools
            found = shutil.which(tool) or os.access("/usr/lib/wine/" + tool, os.X_OK)
            verdict(found, "%s installed" % tool)
    print("%d missing" % len(missing))
    return 1 if missing else 0


# ---- the table ---------------------------------------------------------------

def ms(value):
    if value is None:
        return "—"
    if value >= 100:
        return "%.0f" % value
    if value >= 10:
        return "%.1f" % value
    if value >= 0.1:
        return "%.2f" % value
    return "%.2g" % value


def judged(row):
    """(ratio text, goal text, verdict) of a row."""
    ours, ref = row.get("ours_ms"), row.get("ref_ms")
    ratio = ours / ref if ours is not None and ref else None
    goal_ratio, goal_ms = row.get("goal_ratio"), row.get("goal_ms")
    ratio_text = "%.2f" % ratio if ratio is not None else "—"
    if goal_ms is not None:
        return ratio_text, "< %g ms" % goal_ms, "ok" if ours < goal_ms else "**OVER**"
    if goal_ratio is not None and ratio is not None:
        return ratio_text, "≤ %g" % goal_ratio, "ok" if ratio <= goal_ratio else "**OVER**"
    return ratio_text, "none", ""


def table(rows):
    lines = ["| # | comparison | time | ours ms | reference | ref ms | ratio | goal | verdict | note |",
             "|---|---|---|---:|---|---:|---:|---|---|---|"]
    for i, row in enumerate(rows, 1):
        ratio, goal, verdict = judged(row)
        lines.append("| %d | %s | %s | %s | %s | %s | %s | %s | %s | %s |" % (
            i, row["what"], row.get("measure", ""), ms(row.get("ours_ms")), row.get("reference") or "—",
            ms(row.get("ref_ms")), ratio, goal, verdict, row.get("note", "")))
    return lines


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--quick", action="store_true", help="few repetitions: a smoke run")
    ap.add_argument("--no-build", action="store_true", help="use the programs as built")
    ap.add_argument("--list", action="store_true", help="check that everything is there, run nothing")
    ap.add_argument("--sections", help="comma-separated subset of: " + ", ".join(s.name for s in SECTIONS))
    ap.add_argument("--out", default=os.path.join(BENCH_DIR, "report.md"))
    args = ap.parse_args()
    sections = SECTIONS
    if args.sections:
        wanted = args.sections.split(",")
        unknown = set(wanted) - {s.name for s in SECTIONS}
        if unknown:
            ap.error("unknown section " + ", ".join(sorted(unknown)))
        sections = [s for s in SECTIONS if s.name in wanted]
    if args.list:
        return check(sections)

    os.environ.setdefault("PIXMEND_WINEPREFIX", os.path.join(WIN64, "wineprefix"))
    started = datetime.datetime.now(datetime.timezone.utc)
    start_load, start_cpus, whole = loadavg(), len(os.sched_getaffinity(0)), LoadMeter()
    failures = []
    try:
        if not args.no_build:
            build({name for s in sections for name in s.programs})
        if any(s.name == "codecs" for s in sections):
            make_pictures()
    except subprocess.CalledProcessError as e:
        failures.append("preparing: %s exited with status %d" % (" ".join(e.cmd), e.returncode))
        sections = []
    rows, per_section = [], []
    for section in sections:
        meter = LoadMeter()
        try:
            rows += run_section(section, args.quick)
        except subprocess.CalledProcessError as e:
            failures.append("%s: %s exited with status %d (its messages are on stderr)"
                            % (section.name, shown(e.cmd), e.returncode))
            note("FAILED " + failures[-1])
        except (RuntimeError, ValueError, KeyError, OSError) as e:
            failures.append("%s: %s" % (section.name, e))
            note("FAILED " + failures[-1])
        per_section.append("%s %s" % (section.name, meter.summary()))

    commit = subprocess.run(["git", "describe", "--always", "--dirty"], cwd=ROOT,
                            capture_output=True, text=True).stdout.strip() or "unknown"
    header = [
        "# Benchmark report",
        "",
        "- command: `bench/report.py%s`" % "".join(" " + shlex.quote(a) for a in sys.argv[1:]),
        "- run: %s UTC, commit %s, %s mode" % (started.strftime("%Y-%m-%d %H:%M"), commit,
                                              "quick (rough figures)" if args.quick else "normal"),
        "- machine: %s, nproc %d at start, %d at end" % (cpu_model(), start_cpus, len(os.sched_getaffinity(0))),
        "- load average (1, 5, 15 min): %s at start, %s at end" % (start_load, loadavg()),
        "- whole run %s; per section: %s" % (whole.summary(), "; ".join(per_section)),
        "",
        "ratio = ours / reference, both timed in this run: above 1 we are slower. goal: the "
        "ratio to stay at or under (parity is ≤ 1), or an absolute time (some rows with a "
        "reference have one); none: shown for scale. Rows past their goal say **OVER**. time: CPU is "
        "process CPU time (steady on a busy machine), wall is elapsed time (it moves with the "
        "load above). Figures are medians of the repetitions, in milliseconds.",
        "",
    ]
    text = header + table(rows)
    if failures:
        text += ["", "Failed to run:"] + ["- " + f for f in failures]
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    with open(args.out, "w") as f:
        f.write("\n".join(text) + "\n")
    with open(os.path.splitext(args.out)[0] + ".json", "w") as f:
        json.dump({"header": header, "rows": rows, "failures": failures}, f, indent=1)
    print("\n".join(text))
    note("written to " + args.out)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
