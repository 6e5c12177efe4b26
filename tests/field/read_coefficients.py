#!/usr/bin/python3
"""Reads the coefficient file of `vantrel-cli sphere` by its documented form alone and checks
the expansion against the balloon it came from, on the loudspeaker's axis and its rear axis,
where the harmonics are sqrt((2n+1)/(4 pi)) and (-1)^n times that for m = 0 and vanish
otherwise.

usage: read_coefficients.py BALLOON.BAL coefficients.txt TOLERANCE
TOLERANCE: the largest error on the axes relative to the axis level.
Exits 0 when every check holds; prints each failure otherwise."""

import cmath
import math
import struct
import sys

ROWS, COLUMNS, BINS = 37, 74, 760
TRAILER = ROWS * COLUMNS * BINS * 8
FROM_HZ = [1, 2, 5, 10, 20, 50, 100, 200]
TO_HZ = [500, 1000, 2000, 5000, 10000, 20000, 50000, 100000]
SPEED = 343.0

failures = []


def read_expansions(path):
    lines = open(path, encoding="utf-8").read().split("\n")
    if lines[0] != "# vantrel sphere coefficients 1":
        failures.append("heading: " + lines[0])
        return []
    out, current, due = [], None, 0
    for number, line in enumerate(lines[1:], start=2):
        if not line or line.startswith("#"):
            continue
        parts = line.split()
        if parts[0] == "f":
            if due:
                failures.append("line %d: %d coefficients missing before it" % (number, due))
            hz, order = float(parts[1]), int(parts[2])
            centre = [float(v) / 1000 for v in parts[3:6]]
            current = {"hz": hz, "order": order, "centre": centre, "c": []}
            due = (order + 1) ** 2
            out.append(current)
        else:
            current["c"].append(complex(float(parts[0]), float(parts[1])))
            due -= 1
    if due:
        failures.append("the last frequency misses %d coefficients" % due)
    return out


def axis_value(e, rear):
    """e^{j k u.r0} sum_n c_n0 Y_n^0(u) with u = +z (or -z for the rear)."""
    total = 0j
    for n in range(e["order"] + 1):
        y = math.sqrt((2 * n + 1) / (4 * math.pi)) * ((-1) ** n if rear else 1)
        total += e["c"][n * n + n] * y
    k = 2 * math.pi * e["hz"] / SPEED
    return total * cmath.exp(1j * k * (-1 if rear else 1) * e["centre"][2])


def main():
    balloon, coefficients, tolerance = sys.argv[1], sys.argv[2], float(sys.argv[3])
    data = open(balloon, "rb").read()
    words = struct.unpack_from("<5f3i", data, TRAILER)
    grid10 = words[7] == 1
    row0 = 9 if grid10 else 18  # V = 0
    rear_column = 18 if grid10 else 36  # H = 180
    lo, hi = FROM_HZ[int(words[5])], TO_HZ[int(words[6])]
    k = 750 / math.log10(hi / lo)
    c = -math.log10(lo) * k
    axis = [struct.unpack("<f", struct.pack("<f", 10 ** ((b + 1 - c) / k)))[0] for b in range(750)]

    def cell(row, column, b):
        re, im = struct.unpack_from("<2f", data, ((row * COLUMNS + column) * BINS + b) * 8)
        return complex(re, im)

    expansions = read_expansions(coefficients)
    if not expansions:
        failures.append("no frequency read")
    for e in expansions:
        b = min(range(750), key=lambda i: abs(axis[i] - e["hz"]))
        if abs(axis[b] - e["hz"]) > 1e-3 * e["hz"]:
            failures.append("%g Hz is no axis point" % e["hz"])
            continue
        front, rear = cell(row0, 0, b), cell(row0, rear_column, b)
        for name, measured, rebuilt in (("axis", front, axis_value(e, False)), ("rear", rear, axis_value(e, True))):
            error = abs(rebuilt - measured) / abs(front)
            if error > tolerance:
                failures.append("%g Hz, %s: %.4f off (order %d)" % (e["hz"], name, error, e["order"]))
    for f in failures[:20]:
        print(f)
    return 1 if failures else 0


sys.exit(main())
