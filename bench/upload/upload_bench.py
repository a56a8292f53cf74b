#!/usr/bin/env python3
"""Upload throughput of WinINetPoster under Wine against curl, same server, same run.

    bench/upload/upload_bench.py [--pxpost build/win64/tools/pxpost_np.exe] [--runs 15] [--json]

Starts the local sink of tests/upload/upload_server.py (TCP_NODELAY, HTTP/1.1,
"/sink" answers 200 "ok"), then for a 300 KiB and a 10 MiB file:
  - pxpost --wininet --quiet --repeat RUNS posting the file as the editor would (one
    Wine start-up, RUNS uploads; the first is a warm-up and is dropped), timing
    Post to final event inside the process;
  - curl -F posting the same bytes RUNS times (time_total per request).
Prints median and best milliseconds and the median throughput of each, or
with --json the medians as JSON rows (see bench/report.py) with their goals:
300 KiB under 10 ms, 10 MiB at most twice curl's time.
"""
import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "upload"))
import upload_server  # noqa: E402


def pxpost_times(pxpost, url, path, runs, env):
    command = [os.path.join(ROOT, "scripts", "wine-run.sh"), pxpost, url, path, "--wininet",
               "--width", "640", "--height", "480", "--repeat", str(runs + 1), "--quiet"]
    out = subprocess.run(command, env=env, capture_output=True, text=True, check=False).stdout
    if out.count("\ncomplete\n") + out.startswith("complete\n") < runs + 1:
        raise SystemExit("pxpost did not complete every upload:\n" + out[-2000:])
    times = [float(t) for t in re.findall(r"^time (\d+) ms$", out, re.M)]
    return times[1:]


def curl_times(url, path, runs, env):
    times = []
    for _ in range(runs):
        out = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{time_total} %{http_code}",
                              "-F", "width=640", "-F", "height=480", "-F", "img=@%s;filename=img.jpg" % path,
                              url], env=env, capture_output=True, text=True, check=True).stdout
        seconds, code = out.split()
        if code != "200":
            raise SystemExit("curl got status " + code)
        times.append(float(seconds) * 1000.0)
    return times


def report(name, size, times):
    median = statistics.median(times)
    rate = size / (median / 1000.0) / 1e6 if median > 0 else float("inf")
    print("%-8s %9d bytes  median %8.2f ms  best %8.2f ms  %8.1f MB/s  (%d runs)  all: %s"
          % (name, size, median, min(times), rate, len(times), " ".join("%.0f" % t for t in times)))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--pxpost", default=os.path.join(ROOT, "build", "win64", "tools", "pxpost_np.exe"))
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--json", action="store_true", help="print JSON rows instead of the text")
    args = parser.parse_args()
    env = dict(os.environ)
    for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
        env.pop(name, None)
    rows = []
    with tempfile.TemporaryDirectory() as folder:
        plain, secure = upload_server.start_servers(folder)
        url = "http://127.0.0.1:%d/sink" % plain.server_address[1]
        for size in (300 * 1024, 10 * 1024 * 1024):
            path = os.path.join(folder, "img-%d.jpg" % size)
            with open(path, "wb") as f:
                f.write(os.urandom(size))
            ours = pxpost_times(args.pxpost, url, path, args.runs, env)
            theirs = curl_times(url, path, args.runs, env)
            if args.json:
                small = size < 1 << 20
                label = "%d KiB" % (size // 1024) if small else "%d MiB" % (size >> 20)
                # A picture-sized upload has a time goal; a large one at least half curl's throughput.
                goal = dict(goal_ms=10) if small else dict(goal_ratio=2.0)
                rows.append(dict(what="upload %s, pxpost --wininet under Wine" % label,
                                 measure="wall", ours_ms=statistics.median(ours), reference="curl -F",
                                 ref_ms=statistics.median(theirs), **goal))
            else:
                report("pxpost", size, ours)
                report("curl", size, theirs)
        plain.shutdown()
        secure.shutdown()
    if args.json:
        json.dump({"rows": rows}, sys.stdout, indent=1)
        print()


if __name__ == "__main__":
    main()
