#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Prints the benchmark results as one table of pairs: ours, the peer's, ratio.

Benchmarks are named BM_<Work>_<Side>; the side DeZov20 (or KdIni) is ours and
every other side of the same work is a peer. Benchmarks without a peer are
listed with their own figure. Medians of the repetitions are used.
"""
import json
import os
import sys

OURS = {"DeZov20", "KdIni"}
MEMORY_COUNTERS = ("peak_MB", "rss_MB")
# Pairs compared by memory alone: their times measure different amounts of work.
MEMORY_ONLY = "rss_MB"


def load(paths):
    runs = {}
    for path in paths:
        program = os.path.basename(path).rsplit(".", 1)[0].replace("_bench", "")
        with open(path) as f:
            data = json.load(f)
        for b in data.get("benchmarks", []):
            if b.get("aggregate_name", "median") != "median":
                continue
            if b.get("error_occurred"):
                print(f"ERROR {b['name']}: {b.get('error_message')}")
                continue
            name = b.get("run_name", b["name"]).split("/repeats")[0].replace("/real_time", "")
            runs[(program, name)] = b
    return runs


def seconds(b):
    """CPU time, or wall-clock time for benchmarks that wait on the disk (UseRealTime)."""
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b.get("time_unit", "ns")]
    clock = "real_time" if "/real_time" in b["name"] else "cpu_time"
    return b[clock] * scale


def show_time(s):
    for unit, factor in (("s", 1), ("ms", 1e-3), ("us", 1e-6)):
        if s >= factor:
            return f"{s / factor:.3g} {unit}"
    return f"{s / 1e-9:.3g} ns"


def main(paths):
    runs = load(paths)
    pairs, alone = {}, []
    for (program, name), b in runs.items():
        parts = name.split("/")[0].split("_")
        if len(parts) >= 3 and parts[0] == "BM":
            work, side = program + ": " + "_".join(parts[1:-1]), parts[-1]
            pairs.setdefault(work, {})[side] = b
        else:
            alone.append((program + ": " + name, b))
    print(f"{'work':<28} {'peer':<18} {'ours':>10} {'peer':>10} {'ratio':>7}")
    for work, sides in sorted(pairs.items()):
        ours = next((b for side, b in sides.items() if side in OURS), None)
        for side, peer in sorted(sides.items()):
            if side in OURS:
                continue
            if ours is None:
                alone.append((f"{work} {side}", peer))
                continue
            ratio = seconds(ours) / seconds(peer)
            if MEMORY_ONLY not in ours or MEMORY_ONLY not in peer:
                print(f"{work:<28} {side:<18} {show_time(seconds(ours)):>10} "
                      f"{show_time(seconds(peer)):>10} {ratio:>6.2f}x")
            for counter in MEMORY_COUNTERS:
                if counter in ours and counter in peer and peer[counter]:
                    print(f"{work + ' memory':<28} {side:<18} {ours[counter]:>8.1f}MB "
                          f"{peer[counter]:>8.1f}MB {ours[counter] / peer[counter]:>6.2f}x")
        if ours is not None and len(sides) == 1:
            alone.append((work, ours))
    print()
    for name, b in sorted(alone):
        print(f"{name:<45} {show_time(seconds(b)):>10}")


if __name__ == "__main__":
    main(sys.argv[1:])
