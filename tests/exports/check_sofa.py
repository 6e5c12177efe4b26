#!/usr/bin/python3
"""Reads an exported directivity file with the independent netCDF reader and checks it against
the balloon file it came from and the convention's own list of mandatory metadata.

usage: check_sofa.py BALLOON.BAL OUT.sofa RECEIVERS FIRST LAST [--sim] [--source X,Y,Z[,TOL]] [--attr NAME=VALUE ...]
FIRST..LAST: the axis points the file must hold (the valid band, or 0..749 for all).
--source: the SourcePosition the file must hold (metres, within TOL m, default 0.1 mm; default the origin).
Exits 0 when every check holds; prints each failure otherwise."""

import math
import re
import sys

import netCDF4
import numpy as np

# FreeFieldDirectivityTF 1.1 (SOFA 2.1): every entry the convention flags mandatory ("m"), with
# the value it fixes when it is also read-only ("rm"), else None. (name, fixed value)
MANDATORY_GLOBALS = [
    ("Conventions", "SOFA"),
    ("Version", "2.1"),
    ("SOFAConventions", "FreeFieldDirectivityTF"),
    ("SOFAConventionsVersion", "1.1"),
    ("DataType", "TF"),
    ("RoomType", None),
    ("Title", None),
    ("DateCreated", None),
    ("DateModified", None),
    ("APIName", None),
    ("APIVersion", None),
    ("AuthorContact", None),
    ("Organization", None),
    ("License", None),
    ("DatabaseName", None),
    ("SourceType", None),
    ("SourceManufacturer", None),
]
# (variable, dimensions, mandatory attributes with fixed values or None)
MANDATORY_VARIABLES = [
    ("ListenerPosition", ("I", "C"), {"Type": "cartesian", "Units": "metre"}),
    ("ListenerView", ("I", "C"), {"Type": "cartesian", "Units": "metre"}),
    ("ListenerUp", ("I", "C"), {}),
    ("ReceiverPosition", ("R", "C"), {"Type": "spherical", "Units": "degree, degree, metre"}),
    ("SourcePosition", ("I", "C"), {"Type": "cartesian", "Units": "metre", "Reference": None}),
    ("SourceView", ("I", "C"), {"Type": "cartesian", "Units": "metre", "Reference": None}),
    ("SourceUp", ("I", "C"), {"Reference": None}),
    ("EmitterPosition", ("E", "C"), {"Type": "cartesian", "Units": "metre"}),
    ("Data.Real", ("M", "R", "N"), {}),
    ("Data.Imag", ("M", "R", "N"), {}),
    ("N", ("N",), {"LongName": "frequency", "Units": "hertz"}),
]

ROWS, COLUMNS, BINS, POINTS = 37, 74, 760, 750
TRAILER = ROWS * COLUMNS * BINS * 8
FROM_HZ = [1, 2, 5, 10, 20, 50, 100, 200, 500, 1000]
TO_HZ = [500, 1000, 2000, 5000, 10000, 20000, 50000, 100000]

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def main():
    args = sys.argv[1:]
    bal_path, sofa_path, receivers = args[0], args[1], int(args[2])
    first, last = int(args[3]), int(args[4])
    points = last - first + 1
    sim = "--sim" in args
    overrides = dict(a.split("=", 1) for a in args[args.index("--attr") + 1:]) if "--attr" in args else {}
    source = [float(v) for v in args[args.index("--source") + 1].split(",")] if "--source" in args else [0, 0, 0]
    source_tolerance = source[3] if len(source) > 3 else 1e-4
    source = source[:3]

    raw = np.fromfile(bal_path, dtype="<u1")
    check(raw.size == TRAILER + 32, "balloon file size")
    cells = raw[:TRAILER].view("<f4").reshape(ROWS, COLUMNS, BINS, 2)
    from_index, to_index, grid_flag = raw[TRAILER + 20:TRAILER + 32].view("<i4")
    step = 10 if grid_flag == 1 else 5

    ds = netCDF4.Dataset(sofa_path, "r")
    check(ds.data_model == "NETCDF4", "netCDF-4 format, not " + ds.data_model)

    dims = {name: len(d) for name, d in ds.dimensions.items()}
    for name, size in {"M": 1, "R": receivers, "N": points, "I": 1, "C": 3, "E": 1}.items():
        check(dims.get(name) == size, "dimension %s is %s, not %d" % (name, dims.get(name), size))

    attrs = ds.ncattrs()
    for name, fixed in MANDATORY_GLOBALS:
        check(name in attrs, "global attribute %s missing" % name)
        if name in attrs:
            value = ds.getncattr(name)
            check(isinstance(value, str) and value != "", "global attribute %s empty" % name)
            if fixed is not None:
                check(value == fixed, "global attribute %s is %r, not %r" % (name, value, fixed))
    for name in ("DateCreated", "DateModified"):
        check(re.fullmatch(r"\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}", ds.getncattr(name)) is not None,
              "%s %r is not yyyy-mm-dd HH:MM:SS" % (name, ds.getncattr(name)))
    for name, value in overrides.items():
        check(ds.getncattr(name) == value, "attribute %s is %r, not the override %r" % (name, ds.getncattr(name), value))

    for name, var_dims, var_attrs in MANDATORY_VARIABLES:
        check(name in ds.variables, "variable %s missing" % name)
        if name not in ds.variables:
            continue
        v = ds.variables[name]
        check(v.dimensions == var_dims, "variable %s has dimensions %s" % (name, v.dimensions))
        check(v.dtype == np.float64, "variable %s is not double" % name)
        for attr, fixed in var_attrs.items():
            check(attr in v.ncattrs(), "attribute %s:%s missing" % (name, attr))
            if attr in v.ncattrs():
                check(fixed is None or v.getncattr(attr) == fixed, "attribute %s:%s is %r" % (name, attr, v.getncattr(attr)))
    for name, expected in (("ListenerView", [1, 0, 0]), ("ListenerUp", [0, 0, 1]), ("SourceView", [1, 0, 0]),
                           ("SourceUp", [0, 0, 1])):
        check(np.array_equal(ds.variables[name][:].data, [expected]), "%s is not %s" % (name, expected))
    check(np.allclose(ds.variables["SourcePosition"][:].data, [source], rtol=0, atol=source_tolerance),
          "SourcePosition is %s, not %s" % (ds.variables["SourcePosition"][:].data, source))

    # The frequency vector is the axis of the trailer's indexes: f[i] = from (to/from)^((i+1)/750).
    lo, hi = FROM_HZ[from_index], TO_HZ[to_index]
    axis = np.array([lo * (hi / lo) ** ((i + 1) / POINTS) for i in range(POINTS)], dtype=np.float32)
    freqs = ds.variables["N"][:].data
    check(freqs.shape == (points,) and np.allclose(freqs, axis[first:last + 1], rtol=2e-7, atol=0),
          "frequency vector differs from the axis points %d..%d" % (first, last))
    check(last < POINTS - 1 or freqs[-1] == hi, "last frequency %r is not %r" % (freqs[-1], hi))
    # The comment names the band the loudspeaker's response is measured in.
    check("valid band" in ds.getncattr("Comment"), "the comment does not name the valid band")
    check("/" not in ds.getncattr("Comment").split(". ")[0], "the comment names the balloon's folders")

    # Every receiver names its cell in the comment; its data are that cell's bits, and its
    # position is that cell's direction (x = cos H, y = sin H cos V, z = -sin H sin V).
    sources = re.findall(r" (\d+): (\d+)/(\d+) \(H (-?\d+), V (-?\d+)\)", ds.getncattr("Comment"))
    check(len(sources) == receivers, "comment names %d source cells" % len(sources))
    real = ds.variables["Data.Real"][:].data
    imag = ds.variables["Data.Imag"][:].data
    pos = ds.variables["ReceiverPosition"][:].data
    vectors = []
    for index, row, column, h, v in (tuple(int(x) for x in s) for s in sources):
        check(row == (90 - v) // step, "row of receiver %d" % index)
        check(column == h // step, "column of receiver %d" % index)
        cell = cells[row, column, first:last + 1]
        check(np.array_equal(real[0, index].astype(np.float32), cell[:, 0]) and
              np.array_equal(imag[0, index].astype(np.float32), cell[:, 1]) and
              np.array_equal(real[0, index], cell[:, 0].astype(np.float64)),
              "data of receiver %d differ from cell %d/%d" % (index, row, column))
        hr, vr = math.radians(h), math.radians(v)
        x, y, z = math.cos(hr), math.sin(hr) * math.cos(vr), -math.sin(hr) * math.sin(vr)
        az, el, radius = pos[index]
        check(abs(el - math.degrees(math.asin(max(-1.0, min(1.0, z))))) < 1e-9, "elevation of receiver %d" % index)
        if abs(z) < 1 - 1e-12:
            d = (az - math.degrees(math.atan2(y, x))) % 360.0
            check(min(d, 360 - d) < 1e-9, "azimuth of receiver %d" % index)
        check(0 <= az < 360 and radius > 0, "range of receiver %d" % index)
        vectors.append((x, y, z))
    vectors = np.array(vectors)
    gram = vectors @ vectors.T - np.eye(len(vectors))
    check(gram.max() < 1 - 1e-9, "two receivers share a direction")

    if sim:
        check_vertical_lobing(pos, real[0] + 1j * imag[0], freqs)

    for f in failures[:20]:
        print("FAIL:", f)
    if len(failures) > 20:
        print("... and %d more failures" % (len(failures) - 20))
    return 1 if failures else 0


def check_vertical_lobing(pos, data, freqs):
    """The simulated loudspeaker stacks its tweeter above its woofer: across the crossover the
    two interfere along elevation (up and down differ), while left and right stay equal."""
    def receiver(az, el):
        for i, (a, e, _) in enumerate(pos):
            if abs(e - el) < 1e-6 and (abs(e) > 89.999 or min(abs(a - az % 360), 360 - abs(a - az % 360)) < 1e-6):
                return i
        raise KeyError((az, el))

    band = (freqs > 1500) & (freqs < 4000)
    level = 20 * np.log10(np.abs(data) + 1e-30)
    worst_sides, worst_up_down = 0.0, 0.0
    for a in (20, 30, 40, 50, 60):
        left, right = level[receiver(a, 0)], level[receiver(-a, 0)]
        up, down = level[receiver(0, a)], level[receiver(0, -a)]
        worst_sides = max(worst_sides, np.max(np.abs(left - right)[band]))
        worst_up_down = max(worst_up_down, np.max(np.abs(up - down)[band]))
    check(worst_sides < 0.01, "left and right differ by %.3f dB" % worst_sides)
    check(worst_up_down > 3.0, "up and down differ by only %.3f dB: no vertical lobing" % worst_up_down)


if __name__ == "__main__":
    sys.exit(main())
