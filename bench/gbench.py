"""Runs a Google Benchmark program and reads its JSON report: one result per
benchmark, the median of the repetitions (or the single run when there is
one repetition, where Google Benchmark reports no aggregates)."""
import json
import subprocess

_SCALE = {"s": 1000.0, "ms": 1.0, "us": 1e-3, "ns": 1e-6}


def run(binary, benchmark_filter, repetitions, env=None):
    """Results in the program's order; each is the benchmark's JSON entry
    with "base" (name before the first /), "args" (its integer arguments),
    "real_ms" and "cpu_ms" added. Fails when the filter matches nothing."""
    command = [binary, "--benchmark_filter=" + benchmark_filter, "--benchmark_format=json",
               "--benchmark_repetitions=%d" % max(1, repetitions)]
    if repetitions > 1:
        command.append("--benchmark_report_aggregates_only=true")
    out = subprocess.run(command, check=True, capture_output=True, text=True, env=env).stdout
    entries = json.loads(out)["benchmarks"]
    wanted = "median" if repetitions > 1 else None
    results = []
    for b in entries:
        if b.get("error_occurred"):
            raise RuntimeError("%s: %s" % (b["name"], b.get("error_message", "error")))
        if b.get("aggregate_name") != wanted:
            continue
        parts = b["run_name"].split("/")
        scale = _SCALE[b["time_unit"]]
        b.update(base=parts[0], args=[int(p) for p in parts[1:] if p.isdigit()],
                 real_ms=b["real_time"] * scale, cpu_ms=b["cpu_time"] * scale)
        results.append(b)
    if not results:
        raise RuntimeError("%s: no benchmark matches %r" % (binary, benchmark_filter))
    return results


def listed(binary, benchmark_filter):
    """Names of the benchmarks the filter selects, without running them."""
    out = subprocess.run([binary, "--benchmark_list_tests=true", "--benchmark_filter=" + benchmark_filter],
                         check=True, capture_output=True, text=True).stdout
    return out.split()
