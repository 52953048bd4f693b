#!/usr/bin/env python3
"""Times python3's json.loads on a JSON file, for comparison with json_bench.

usage: json_loads.py FILE [ROUNDS]

Prints one line in json_bench's format: the median wall-clock milliseconds of
one json.loads of the whole text (freeing the result included), MB/s of
text, and the median CPU milliseconds.
"""
import json
import statistics
import sys
import time


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as f:
        text = f.read()
    rounds = int(sys.argv[2]) if len(sys.argv) == 3 else 15
    wall, cpu = [], []
    for _ in range(rounds):
        c0, w0 = time.process_time(), time.perf_counter()
        json.loads(text)  # the result is dropped, and freed, inside the timing
        w1, c1 = time.perf_counter(), time.process_time()
        wall.append((w1 - w0) * 1e3)
        cpu.append((c1 - c0) * 1e3)
    ms = statistics.median(wall)
    megabytes = len(text) / 1e6
    print(f"loads {ms:.2f} ms {megabytes / (ms / 1e3):.0f} MB/s cpu {statistics.median(cpu):.2f} ms")


if __name__ == "__main__":
    main()
