#!/usr/bin/env python3
"""Times the engine's work in numpy/scipy on the same blocks and sets it beside the engine.

Per window: mean removal, biased autocorrelation, the Toeplitz solve for the all-pole model
(scipy.linalg.solve_toeplitz) and the model spectrum through a precomputed complex exponential
matrix; or, for the correlogram, the cosine transform through a precomputed cosine matrix.
With --zol-json it also reads the engine benchmark's JSON output and prints the ratios.
"""
import argparse
import json
import time

import numpy as np
from scipy.linalg import solve_toeplitz

SAMPLE_RATE = 11025.0
SETTINGS = {
    "defaults": dict(samples=552, lags=138, points=280, fmin=40.0, fmax=1200.0),
    "heavy": dict(samples=2208, lags=552, points=600, fmin=10.0, fmax=1200.0),
}


def analyser(s, correlogram):
    dt = 1.0 / SAMPLE_RATE
    p = s["lags"] - 1
    f = np.linspace(s["fmin"], s["fmax"], s["points"])
    phase = -2 * np.pi * dt * np.outer(f, np.arange(1, p + 1))
    expo, cosine = np.exp(1j * phase), np.cos(phase)

    def run(block):
        x = block.astype(np.float64)
        x -= x.mean()
        n = len(x)
        r = np.correlate(x, x, "full")[n - 1 : n + p] / n
        if correlogram:
            return dt * np.abs(r[0] + 2 * cosine @ r[1:])
        a = solve_toeplitz(r[:p], -r[1 : p + 1])
        error = r[0] + a @ r[1 : p + 1]
        return np.abs(error) * dt / np.abs(1 + expo @ a) ** 2

    return run


def time_per_window(run, block, seconds=1.0):
    run(block)
    count, start = 0, time.perf_counter()
    while time.perf_counter() - start < seconds:
        run(block)
        count += 1
    return (time.perf_counter() - start) / count


def engine_times(path):
    with open(path) as f:
        results = json.load(f)["benchmarks"]
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    return {b["name"]: b["real_time"] * scale[b["time_unit"]] for b in results}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--blocks", required=True, help="folder with defaults.pcm, heavy.pcm")
    parser.add_argument("--zol-json", help="engine benchmark output to compare against")
    args = parser.parse_args()
    engine = engine_times(args.zol_json) if args.zol_json else {}

    print(f"{'window':28} {'scipy us':>10} {'reference us':>13} {'fast us':>9} "
          f"{'ref/fast':>9} {'scipy/fast':>11}")
    for name, s in SETTINGS.items():
        block = np.fromfile(f"{args.blocks}/{name}.pcm", dtype="<i2")
        for mode in ("model", "correlogram"):
            peer = time_per_window(analyser(s, mode == "correlogram"), block)
            ref = engine.get(f"Run/{mode}/{name}/reference")
            fast = engine.get(f"Run/{mode}/{name}/fast")
            line = f"{mode + '/' + name:28} {peer * 1e6:10.1f}"
            if ref and fast:
                line += (f" {ref * 1e6:13.1f} {fast * 1e6:9.1f} {ref / fast:9.1f} "
                         f"{peer / fast:11.2f}")
            print(line)


if __name__ == "__main__":
    main()
