#!/usr/bin/env python3
"""Builds the constant tables of libvexcolor and the 1 nm test spectra from the CIE/ISO source tables.

Usage: generate.py --source DIR --lib-out DIR --fixtures-out DIR
       generate.py --source DIR --check BUILD_DIR   (regenerate into BUILD_DIR and compare with the
                                                      committed files; exit 77 when DIR is missing)

Python 3 standard library only.  Every number is written with repr(), so the output is byte for byte the
same on every run.  See README.md beside this script for sources, methods and licences.
"""
import argparse
import difflib
import hashlib
import math
import os
import sys
from decimal import Decimal

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.normpath(os.path.join(HERE, "..", ".."))
LIB_DIR = os.path.join(REPO, "libvexcolor", "generated")
FIXTURE_DIR = os.path.join(REPO, "tests", "libvexcolor", "fixtures")
COMMAND = "python3 tools/colorimetry/generate.py --source ../shared/data/colorimetry"

FIRST_NM, LAST_NM = 360, 780
NPOINTS = LAST_NM - FIRST_NM + 1          # 421
C2_PLANCK = 1.4388e-2                     # m K, current value (isotemperature lines)

# Six colord values that differ from the CIE 15:2004 table (README of the source folder); CIE wins.
F_ERRATA = {("F5", 690): "0.0148", ("F6", 625): "0.0895", ("F9", 530): "0.1078",
            ("F10", 385): "0.0080", ("F10", 605): "0.0831", ("F12", 390): "0.0040"}

# Transmittance applied to D50/D65 for illuminant ids 4 and 5 (linear between these points).
UV_TRANSMITTANCE = [(300, 0.0), (320, 0.0013), (340, 0.22), (360, 0.81), (380, 0.92), (400, 0.98),
                    (440, 0.98), (480, 1.0), (560, 1.0), (600, 0.98), (660, 0.94), (720, 0.90), (780, 0.857)]
# Ultraviolet cut of illuminant id 160 (A times this factor, linear between points).
UV_CUT = [(300, 0.001), (390, 0.001), (395, 0.0505), (400, 0.1), (405, 0.3), (410, 0.5), (415, 0.7),
          (420, 0.9), (425, 0.945), (430, 0.99), (435, 0.995), (440, 1.0), (780, 1.0)]

USED_INPUTS = []


# ---------------------------------------------------------------------------------------------- input
def read_csv(src, name):
    path = os.path.join(src, name)
    with open(path, "rb") as f:
        raw = f.read()
    if name not in [n for n, _ in USED_INPUTS]:
        USED_INPUTS.append((name, hashlib.sha256(raw).hexdigest()))
    lines = raw.decode("ascii").strip("\n").split("\n")
    header = lines[0].split(",")
    cols = {h: [] for h in header[1:]}
    wl = []
    for line in lines[1:]:
        cells = line.split(",")
        wl.append(int(cells[0]))
        for h, c in zip(header[1:], cells[1:]):
            cols[h].append(Decimal(c))
    return wl, cols


def times100(values):
    return [float(v * 100) for v in values]


# ---------------------------------------------------------------------------------------- interpolation
SPRAGUE = [(8, -61, 584, 109, -16, 1), (9, -71, 454, 274, -46, 5),
           (5, -46, 274, 454, -71, 9), (1, -16, 109, 584, -61, 8)]


def sprague(values):
    """5 nm -> 1 nm by Sprague (CIE 167), with the six-point end extension; nodes are kept exactly."""
    r = [float(v) for v in values]
    n = len(r) - 1
    lo2 = (884 * r[0] - 1960 * r[1] + 3033 * r[2] - 2648 * r[3] + 1080 * r[4] - 180 * r[5]) / 209
    lo1 = (508 * r[0] - 540 * r[1] + 488 * r[2] - 367 * r[3] + 144 * r[4] - 24 * r[5]) / 209
    hi1 = (-24 * r[n - 5] + 144 * r[n - 4] - 367 * r[n - 3] + 488 * r[n - 2] - 540 * r[n - 1] + 508 * r[n]) / 209
    hi2 = (-180 * r[n - 5] + 1080 * r[n - 4] - 2648 * r[n - 3] + 3033 * r[n - 2] - 1960 * r[n - 1] + 884 * r[n]) / 209
    ext = [lo2, lo1] + r + [hi1, hi2]
    out = []
    for i in range(n):
        out.append(r[i])
        window = ext[i:i + 6]          # R(i-2) .. R(i+3)
        for w in SPRAGUE:
            out.append(math.fsum(a * b for a, b in zip(w, window)) / 625)
    out.append(r[n])
    return out


def linear_5_to_1(values):
    out = []
    for i in range(len(values) - 1):
        a, b = float(values[i]), float(values[i + 1])
        out.append(a)
        for k in range(1, 5):
            out.append(a + (b - a) * k / 5)
    out.append(float(values[-1]))
    return out


def piecewise_linear(points, nm):
    for (w0, v0), (w1, v1) in zip(points, points[1:]):
        if w0 <= nm <= w1:
            return v0 + (v1 - v0) * (nm - w0) / (w1 - w0)
    raise ValueError(nm)


def window(wl, values, first, last):
    """Values at first..last nm from a table that starts at wl[0] with the step of wl; 0 where absent."""
    step = wl[1] - wl[0]
    out = []
    for nm in range(first, last + 1, step):
        idx = (nm - wl[0]) // step
        out.append(values[idx] if 0 <= idx < len(values) and (nm - wl[0]) % step == 0 else 0.0)
    return out


def to_1nm_grid(first_nm, values_1nm):
    """Place a 1 nm series that starts at first_nm on the 360-780 grid, 0 outside."""
    out = []
    for nm in range(FIRST_NM, LAST_NM + 1):
        idx = nm - first_nm
        out.append(values_1nm[idx] if 0 <= idx < len(values_1nm) else 0.0)
    return out


# ---------------------------------------------------------------------------------------------- tables
def daylight_m(nominal):
    t = nominal * 1.4388 / 1.4380
    if t <= 7000:
        xd = -4.6070e9 / t ** 3 + 2.9678e6 / t ** 2 + 0.09911e3 / t + 0.244063
    else:
        xd = -2.0064e9 / t ** 3 + 1.9018e6 / t ** 2 + 0.24748e3 / t + 0.237040
    yd = -3.000 * xd * xd + 2.870 * xd - 0.275
    m = 0.0241 + 0.2562 * xd - 0.7341 * yd
    m1 = (-1.3515 - 1.7703 * xd + 5.9114 * yd) / m
    m2 = (0.0300 - 31.4424 * xd + 30.0717 * yd) / m
    return float(Decimal(m1).quantize(Decimal("0.001"))), float(Decimal(m2).quantize(Decimal("0.001")))


def build(src):
    t = {}
    # Colour-matching functions: Sprague over 360-830, kept at 360-780.
    wl2, c2 = read_csv(src, "cie1931_2deg_cmf_5nm.csv")
    wl10, c10 = read_csv(src, "cie1964_10deg_cmf_5nm.csv")
    assert wl2[0] == 360 and wl10[0] == 360
    cmf5 = {0: [c2["xbar"], c2["ybar"], c2["zbar"]], 1: [c10["xbar10"], c10["ybar10"], c10["zbar10"]]}
    t["cmf"] = {obs: [sprague(col)[:NPOINTS] for col in cols] for obs, cols in cmf5.items()}
    for obs, cols in cmf5.items():
        for col, fine in zip(cols, t["cmf"][obs]):
            for k in range(0, NPOINTS, 5):
                assert fine[k] == float(col[k // 5])

    wlv, cv = read_csv(src, "cie1951_scotopic_vprime_5nm.csv")
    t["vprime"] = to_1nm_grid(wlv[0], sprague(cv["Vprime"]))

    # Illuminants at 1 nm on 360-780 (CIE scale, 100 at 560 nm).
    wla1, ca1 = read_csv(src, "cie_illuminant_A_1nm.csv")
    a1 = times100(ca1["A"])
    wl65, c65 = read_csv(src, "cie_illuminant_D65_5nm.csv")
    d65_5 = times100(c65["D65"])
    wls, cs = read_csv(src, "cie_daylight_components_S0_S1_S2_5nm.csv")
    m1, m2 = daylight_m(5000)
    assert (m1, m2) == (-1.039, 0.363)
    d50_5 = [float(s0) + m1 * float(s1) + m2 * float(s2) for s0, s1, s2 in zip(cs["S0"], cs["S1"], cs["S2"])]
    wl50, c50 = read_csv(src, "cie_illuminant_D50_5nm.csv")
    for nm, v in zip(wl50, c50["D50"]):
        assert abs(d50_5[(nm - wls[0]) // 5] / 100 - float(v)) <= 0.002, nm
    wlc, cc = read_csv(src, "cie_illuminant_C_5nm.csv")
    c_5 = times100(cc["C"])
    wlf, cf = read_csv(src, "cie_illuminants_F1-F12_5nm.csv")
    f_5 = {}
    for i in range(1, 13):
        name = "F%d" % i
        col = list(cf[name])
        for (fname, nm), value in F_ERRATA.items():
            if fname == name:
                col[(nm - wlf[0]) // 5] = Decimal(value)
        f_5[name] = times100(col)

    ill1 = {}
    ill1["A"] = to_1nm_grid(wla1[0], a1)
    ill1["D65"] = to_1nm_grid(wl65[0], linear_5_to_1(d65_5))
    ill1["D50"] = to_1nm_grid(wls[0], linear_5_to_1(d50_5))
    ill1["C"] = to_1nm_grid(wlc[0], sprague(c_5))
    for name, col in f_5.items():
        ill1[name] = to_1nm_grid(wlf[0], sprague(col))
    grid = range(FIRST_NM, LAST_NM + 1)
    ill1["D50T"] = [s * piecewise_linear(UV_TRANSMITTANCE, nm) for s, nm in zip(ill1["D50"], grid)]
    ill1["D65T"] = [s * piecewise_linear(UV_TRANSMITTANCE, nm) for s, nm in zip(ill1["D65"], grid)]
    ill1["AUV"] = [s * piecewise_linear(UV_CUT, nm) for s, nm in zip(ill1["A"], grid)]
    # Illuminant A also follows from its defining formula; the table and the formula must agree.
    for nm, v in zip(grid, ill1["A"]):
        f = 100 * (560 / nm) ** 5 * math.expm1(1.435e7 / (2848 * 560)) / math.expm1(1.435e7 / (2848 * nm))
        assert abs(v / f - 1) < 1e-5, nm
    t["ill1"] = ill1

    # Illuminant slots, 300-780 nm at 5 nm.
    five = range(300, 781, 5)
    a_5 = [a1[nm - wla1[0]] for nm in five]
    d50s = window(wls, d50_5, 300, 780)
    d65s = window(wl65, d65_5, 300, 780)
    slots = [
        (0, a_5), (1, window(wlc, c_5, 300, 780)), (2, d50s), (3, d65s),
        (4, [s * piecewise_linear(UV_TRANSMITTANCE, nm) for s, nm in zip(d50s, five)]),
        (5, [s * piecewise_linear(UV_TRANSMITTANCE, nm) for s, nm in zip(d65s, five)]),
    ]
    for sid, name in zip(range(6, 14), ["F2", "F6", "F7", "F8", "F9", "F10", "F11", "F12"]):
        slots.append((sid, window(wlf, f_5[name], 300, 780)))
    slots.append((14, [0.0] * 97))
    slots += [(23, [0.0] * 97)] * 9
    slots.append((160, [s * piecewise_linear(UV_CUT, nm) for s, nm in zip(a_5, five)]))
    slots.append((255, [0.0] * 97))
    assert len(slots) == 26 and all(len(s) == 97 for _, s in slots)
    t["slots"] = slots

    # Object weighting tables (ASTM E2022 without bandpass correction), 360-780 nm at 10 nm.
    ids = [(0, "A"), (1, "C"), (2, "D50"), (3, "D65"), (4, "D50T"), (5, "D65T"), (6, "F2"), (7, "F6"),
           (8, "F7"), (9, "F8"), (10, "F9"), (11, "F10"), (12, "F11"), (13, "F12"), (160, "AUV")]
    t["weights"] = [(i, name, [astm_weights(ill1[name], t["cmf"][obs]) for obs in (0, 1)]) for i, name in ids]

    # Isotemperature lines and the spectrum locus.
    t["iso"] = {obs: isotemperature_rows(t["cmf"][obs]) for obs in (0, 1)}
    t["locus"] = {}
    for obs, cols in cmf5.items():
        rows = []
        for k in range(69):                       # 380-720 nm
            x, y, z = (float(c[4 + k]) for c in cols)
            s = x + y + z
            rows.append((math.floor(x / s * 1e5 + 0.5), math.floor(y / s * 1e5 + 0.5)))
        t["locus"][obs] = rows

    # Test colour samples and daylight components, 380-780 nm at 5 nm.
    wlt, ct = read_csv(src, "cie_13.3_tcs01-14_5nm.csv")
    tcs = [window(wlt, [float(v) for v in ct["TCS%02d" % i]], 380, 780) for i in range(1, 15)]
    wl15, c15 = read_csv(src, "tcs15_japanese_skin_5nm.csv")
    tcs.append(window(wl15, [float(v) for v in c15["TCS15"]], 380, 780))
    t["tcs"] = tcs
    t["daylight"] = [window(wls, [float(v) for v in cs[k]], 380, 780) for k in ("S0", "S1", "S2")]

    t["density"] = density_vectors(src)
    return t


def lagrange(nodes, x):
    out = []
    for i, xi in enumerate(nodes):
        p = 1.0
        for j, xj in enumerate(nodes):
            if i != j:
                p *= (x - xj) / (xi - xj)
        out.append(p)
    return out


def astm_weights(spd, cmf):
    """43 weights per function: sum over 1 nm of S * cmf * Lagrange coefficient of the node."""
    w = [[0.0] * 43 for _ in range(3)]
    coeffs = []                                   # per 1 nm point: [(node, L)]
    for k in range(NPOINTS):
        i, r = divmod(k, 10)
        if r == 0:
            coeffs.append([(i, 1.0)])
            continue
        if i == 0:
            nodes = [0, 1, 2]
        elif i == 41:
            nodes = [40, 41, 42]
        else:
            nodes = [i - 1, i, i + 1, i + 2]
        ls = lagrange(nodes, i + r / 10)
        coeffs.append(list(zip(nodes, ls)))
    norm = 100 / math.fsum(spd[k] * cmf[1][k] for k in range(NPOINTS))
    for f in range(3):
        acc = [[] for _ in range(43)]
        for k in range(NPOINTS):
            for node, lk in coeffs[k]:
                acc[node].append(spd[k] * cmf[f][k] * lk)
        w[f] = [math.fsum(a) * norm for a in acc]
    white = [white_sum(w[f]) for f in range(3)]
    return w, white


def white_sum(arr):
    # Same order as the library sums a reflectance of 1 (380-730, then the folded ends).
    s = 0.0
    for k in range(36):
        s += arr[2 + k]
    s += arr[0] + arr[1]
    s += arr[38] + arr[39] + arr[40] + arr[41] + arr[42]
    return s


def isotemperature_rows(cmf):
    rows = []
    for n in range(1, 66):
        mired = (n - 1) * 10
        sx = sy = sz = dx = dy = dz = 0.0
        terms = []
        for k in range(NPOINTS):
            lam = (FIRST_NM + k) * 1e-9
            a = C2_PLANCK / (lam * 1e6)            # exponent per mired
            x = a * mired
            if x == 0:
                g, dg = 1.0, -0.5
            else:
                e = math.expm1(x)
                g = x / e
                dg = (e - x * (e + 1)) / (e * e)
            base = (FIRST_NM + k) ** -5.0
            s = base * g / a                        # x / (e^x - 1) keeps the limit at m = 0 finite
            ds = base * dg                          # d s / d mired
            terms.append((s, ds, cmf[0][k], cmf[1][k], cmf[2][k]))
        sx = math.fsum(s * xb for s, _, xb, _, _ in terms)
        sy = math.fsum(s * yb for s, _, _, yb, _ in terms)
        sz = math.fsum(s * zb for s, _, _, _, zb in terms)
        dx = math.fsum(ds * xb for _, ds, xb, _, _ in terms)
        dy = math.fsum(ds * yb for _, ds, _, yb, _ in terms)
        dz = math.fsum(ds * zb for _, ds, _, _, zb in terms)
        d = sx + 15 * sy + 3 * sz
        dd = dx + 15 * dy + 3 * dz
        u, v = 4 * sx / d, 6 * sy / d
        du = 4 * (dx * d - sx * dd) / (d * d)
        dv = 6 * (dy * d - sy * dd) / (d * d)
        rows.append((n, mired, u, v, -dv / du))
    return rows


DENSITY_EXTENTS = {  # status: ((peak, lo, hi) for cyan, magenta, yellow)
    0: ((600, 560, 720), (530, 480, 620), (460, 380, 550)),
    1: ((600, 560, 720), (530, 480, 620), (440, 380, 520)),
    2: ((620, 610, 730), (530, 510, 590), (440, 420, 480)),
    3: ((620, 620, 630), (530, 530, 540), (430, 420, 440)),
    4: ((600, 560, 710), (530, 470, 620), (440, 380, 510)),
}
DENSITY_SOURCES = {
    0: ("ansi_status_t_red", "ansi_status_t_green", "ansi_status_t_blue"),
    1: ("ansi_status_t_red", "ansi_status_t_green", "ansi_status_e_blue"),
    2: ("ansi_status_a_red", "ansi_status_a_green", "ansi_status_a_blue"),
    3: (None, None, None),
    4: ("ansi_status_e_red", "ansi_status_e_green", "ansi_status_e_blue"),
}


def density_vectors(src):
    wl, cols = read_csv(src, "iso5-3_density_spectral_products_10nm.csv")
    grid = list(range(380, 731, 10))

    def take(name, lo, hi):
        vals = [float(cols[name][wl.index(nm)]) if lo <= nm <= hi else 0.0 for nm in grid]
        s = math.fsum(vals)
        return [v * 100 / s for v in vals]

    def band(peak, lo, hi):
        # 10 nm-wide band: full weight at the peak, half weight at the other points of the extent.
        vals = [(2.0 if nm == peak else 1.0) if lo <= nm <= hi else 0.0 for nm in grid]
        s = math.fsum(vals)
        return [v * 100 / s for v in vals]

    vectors = []
    for status in range(5):
        for channel, (peak, lo, hi) in enumerate(DENSITY_EXTENTS[status]):
            name = DENSITY_SOURCES[status][channel]
            vec = band(peak, lo, hi) if name is None else take(name, lo, hi)
            origin = ("synthesised 10 nm band" if name is None else
                      "colormath %s, %d-%d nm" % (name, lo, hi))
            assert grid[vec.index(max(vec))] == peak, (status, channel)
            vectors.append(("status %d %s" % (status, ("cyan", "magenta", "yellow")[channel]), origin, vec))
    vectors.append(("visual", "colormath iso_visual, 380-730 nm", take("iso_visual", 380, 730)))
    vectors.append(("unused 1", "colormath ansi_status_m_red, 380-730 nm", take("ansi_status_m_red", 380, 730)))
    vectors.append(("unused 2", "colormath ansi_status_m_green, 380-730 nm", take("ansi_status_m_green", 380, 730)))
    assert grid[vectors[15][2].index(max(vectors[15][2]))] == 570
    return vectors


# ---------------------------------------------------------------------------------------------- checks
def xyz_of(spd, cmf):
    return [math.fsum(s * c for s, c in zip(spd, f)) for f in cmf]


def check(t):
    def near(got, want, tol, what):
        assert all(abs(g - w) <= tol for g, w in zip(got, want)), (what, got, want)

    wp = {(n, obs): white for _, n, ws in t["weights"] for obs, (_, white) in enumerate(ws)}
    near(wp["D65", 0], (95.047, 100, 108.883), 0.01, "D65 2")
    near(wp["D65", 1], (94.811, 100, 107.304), 0.01, "D65 10")
    near(wp["D50", 0], (96.422, 100, 82.521), 0.01, "D50 2")
    near(wp["A", 0], (109.850, 100, 35.585), 0.01, "A 2")
    near(wp["C", 0], (98.074, 100, 118.232), 0.02, "C 2")
    near(wp["F2", 0], (99.187, 100, 67.395), 0.02, "F2 2")
    near(wp["F7", 0], (95.044, 100, 108.755), 0.02, "F7 2")
    near(wp["F11", 0], (100.966, 100, 64.370), 0.02, "F11 2")
    near(wp["D50T", 0], (95.282, 100, 82.337), 0.1, "id 4 2")
    near(wp["D65T", 0], (93.950, 100, 108.474), 0.1, "id 5 2")
    near(wp["D50T", 1], (95.679, 100, 81.154), 0.1, "id 4 10")
    near(wp["D65T", 1], (93.811, 100, 106.796), 0.1, "id 5 10")

    printed = {0: ((0.180046, 0.263577, -4.09562), (0.349746, 0.360483, 0.012722)),
               1: ((0.177107, 0.265867, -3.15533), (0.350279, 0.360752, 0.008108))}
    for obs, (first, last) in printed.items():
        for row, want in ((t["iso"][obs][0], first), (t["iso"][obs][64], last)):
            near(row[2:4], want[:2], 1e-4, "isotemperature uv")
            assert abs(row[4] / want[2] - 1) < 0.01, ("isotemperature t", row, want)

    # Scotopic to photopic ratio by 1700 sum S V' / 683 sum S ybar.
    for name, want, tol in (("A", 1.41, 0.01), ("D65", 2.46, 0.02)):
        spd = t["ill1"][name]
        sp = 1700 * math.fsum(s * v for s, v in zip(spd, t["vprime"])) / (
            683 * math.fsum(s * y for s, y in zip(spd, t["cmf"][0][1])))
        assert abs(sp - want) <= tol, (name, sp)
    vmax = max(t["vprime"])
    assert vmax > 0.99 and 500 <= FIRST_NM + t["vprime"].index(vmax) <= 512


# ---------------------------------------------------------------------------------------------- output
def header(method):
    lines = ["// Generated by tools/colorimetry/generate.py; do not edit.",
             "// Command: " + COMMAND,
             "// Inputs (SHA-256):"]
    for name, digest in USED_INPUTS:
        lines.append("//   %s  %s" % (digest, name))
    lines.append("// Method:")
    for m in method.strip("\n").split("\n"):
        lines.append("//   " + m if m else "//")
    return "\n".join(lines) + "\n"


def fmt(v):
    if isinstance(v, int):
        return str(v)
    r = repr(float(v))
    return r


def array_body(values, per_line=6, indent="    "):
    lines = []
    for i in range(0, len(values), per_line):
        lines.append(indent + ", ".join(fmt(v) for v in values[i:i + per_line]) + ",")
    return "\n".join(lines)


def gen_cmf(t):
    out = [header("""Colour-matching functions (CIE 1931 2 degree, CIE 1964 10 degree) and the CIE 1951 scotopic
function V', 1 nm from 360 to 780 nm.  Sprague interpolation (CIE 167 coefficients, six-point end
extension) of the 5 nm tables; the CMFs over 360-830 nm, V' over 380-780 nm and 0 at 360-379 nm.
Every fifth value is the 5 nm source value unchanged."""),
           '#include "tables.h"', "", "namespace vexcolor {", "",
           "const ColourMatching kCmf[2] = {"]
    for obs in (0, 1):
        out.append("  {{  // %s" % ("2 degree" if obs == 0 else "10 degree"))
        for f in range(3):
            out.append("   {")
            out.append(array_body(t["cmf"][obs][f], indent="     "))
            out.append("   },")
        out.append("  }},")
    out.append("};")
    out.append("")
    out.append("const double kScotopic[kPoints] = {")
    out.append(array_body(t["vprime"]))
    out.append("};")
    out += ["", "}  // namespace vexcolor", ""]
    return "\n".join(out)


def gen_iso(t):
    out = [header("""Isotemperature lines of both observers: row n at (n - 1) x 10 mired, (u, v) of the Planckian
radiator (c2 = 1.4388e-2 m K; row 1 is the infinite-temperature limit, S ~ lambda^-4) in the CIE
1960 UCS from the 1 nm colour-matching functions over 360-780 nm, and t = du/dv of the line normal
to the locus, -(dv/dm)/(du/dm) by the analytic derivative of Planck's law in mired.
Float rows for the colour calculation, the same rows in double for callers that need them."""),
           "#pragma once", "", "#include <cstdint>", "", "namespace vexcolor {", "",
           "struct IsoTemperatureRow {", "  std::int32_t n;", "  std::int32_t mired;",
           "  float u;", "  float v;", "  float t;", "};",
           "static_assert(sizeof(IsoTemperatureRow) == 20, \"row layout\");", "",
           "struct IsoTemperatureRowD {", "  std::int32_t n;", "  std::int32_t mired;",
           "  double u;", "  double v;", "  double t;", "};", ""]
    for kind, typ in (("", "IsoTemperatureRow"), ("D", "IsoTemperatureRowD")):
        out.append("// 65 rows and the terminator, [observer][row].")
        out.append("inline constexpr %s kIsoTemperature%s[2][66] = {" % (typ, kind))
        for obs in (0, 1):
            out.append("  {")
            for n, mired, u, v, tt in t["iso"][obs]:
                out.append("    {%d, %d, %s, %s, %s}," % (n, mired, fmt(u), fmt(v), fmt(tt)))
            out.append("    {-1, 0, 0.0, 0.0, 0.0},")
            out.append("  },")
        out.append("};")
        out.append("")
    out += ["}  // namespace vexcolor", ""]
    return "\n".join(out)


def gen_misc(t):
    out = [header("""Spectrum locus: chromaticity x 100000 (rounded half up) of the 5 nm colour-matching functions,
380-720 nm, both observers.
Test colour samples TCS01-TCS14 (CIE 13.3) and TCS15, 380-780 nm at 5 nm, as the source writes them.
Daylight components S0, S1, S2 at 5 nm, 380-780 nm (linear between the 10 nm values)."""),
           '#include "tables.h"', "", "namespace vexcolor {", "",
           "const LocusPoint kLocus[2][kLocusRows] = {"]
    for obs in (0, 1):
        out.append("  {")
        rows = t["locus"][obs]
        for i in range(0, len(rows), 4):
            out.append("    " + " ".join("{%d, %d}," % r for r in rows[i:i + 4]))
        out.append("  },")
    out.append("};")
    out.append("")
    out.append("const double kTestSamples[15][kPoints5] = {")
    for i, s in enumerate(t["tcs"]):
        out.append("  {  // TCS%02d" % (i + 1))
        out.append(array_body(s, per_line=9, indent="    "))
        out.append("  },")
    out.append("};")
    out.append("")
    out.append("const double kDaylight[3][kPoints5] = {")
    for name, s in zip(("S0", "S1", "S2"), t["daylight"]):
        out.append("  {  // %s" % name)
        out.append(array_body(s, per_line=9, indent="    "))
        out.append("  },")
    out.append("};")
    out += ["", "}  // namespace vexcolor", ""]
    return "\n".join(out)


def gen_illuminants(t):
    out = [header("""Illuminant slots, 300-780 nm at 5 nm, CIE scale (100 at 560 nm where the source is so normalised).
A from its 1 nm table; C as published from 380 nm, 0 below; D50 from S0 + M1 S1 + M2 S2 with
M1, M2 = -1.039, 0.363 (CIE 15 at 5000 x 1.4388/1.4380 K, rounded to three decimals); D65 as
published; ids 4 and 5 are D50 and D65 times a transmittance interpolated linearly between its
points (0 at 300, 0.0013 at 320, 0.22 at 340, 0.81 at 360, 0.92 at 380, 0.98 at 400-440, 1.0 at
480-560, 0.98 at 600, 0.94 at 660, 0.90 at 720, 0.857 at 780 nm); F2, F6-F12 from 380 nm, 0 below
(CIE 15:2004 values where colord differs); id 14 (user) and nine id-23 slots zero; id 160 is A times
an ultraviolet cut (0.001 to 390 nm, then 0.0505, 0.1, 0.3, 0.5, 0.7, 0.9, 0.945, 0.99, 0.995 at
395-435 nm, 1 from 440 nm); terminator id 255."""),
           '#include "tables.h"', "", "namespace vexcolor {", "",
           "const CalIlluminantSlot kIlluminantTable[kIlluminantSlots] = {"]
    for sid, spd in t["slots"]:
        out.append("  {%d," % sid)
        out.append("   {")
        out.append(array_body(spd, indent="     "))
        out.append("   }},")
    out.append("};")
    out += ["", "}  // namespace vexcolor", ""]
    return "\n".join(out)


def gen_weights(t):
    out = [header("""Object weighting tables, 360-780 nm at 10 nm, both observers, ASTM E2022 without bandpass
correction: weight of node k = sum over the 1 nm grid of S(l) cmf(l) L_k(l), L_k the Lagrange
coefficient of node k in the cubic through the four nearest nodes (the quadratic in the first and
last interval), scaled so that sum S ybar = 100.  White point = sum of each array.
1 nm illuminants: A from its 1 nm table; D65 linear from 5 nm; D50 from S0, S1, S2 (linear between
the 10 nm values, M1 = -1.039, M2 = 0.363) then linear; C and F-series by Sprague from 5 nm (0
outside 380-780 nm); ids 4, 5, 160 as the illuminant slots, their factors linear to 1 nm."""),
           '#include "tables.h"', "", "namespace vexcolor {", "",
           "const WeightTable kWeightTables[kWeightTableCount] = {"]
    entries = list(t["weights"])
    entries.insert(14, (14, "user", [([[0.0] * 43] * 3, [0.0, 0.0, 0.0])] * 2))
    for i, name, per_obs in entries:
        out.append("  {%d,  // %s" % (i, name))
        out.append("   {")
        for obs, (w, white) in enumerate(per_obs):
            out.append("    {  // %s" % ("2 degree" if obs == 0 else "10 degree"))
            out.append("     {")
            for f in range(3):
                out.append("      {")
                out.append(array_body(w[f], indent="        "))
                out.append("      },")
            out.append("     },")
            out.append("     {%s}}," % ", ".join(fmt(v) for v in white))
        out.append("   }},")
    out.append("};")
    out += ["", "}  // namespace vexcolor", ""]
    return "\n".join(out)


def gen_density(t):
    origins = "\n".join("%2d %-17s %s" % (i, name, origin) for i, (name, origin, _) in enumerate(t["density"]))
    out = [header("""Density weights, 380-730 nm at 10 nm, each vector zero outside its extent and scaled to sum 100.
Spectral products from python3-colormath (ISO 5-3 status A, E, M, T, ISO visual; peak 100):
""" + origins), '#include "tables.h"', "", "namespace vexcolor {", "",
           "const float kDensityWeights[kDensityVectors][kReflectancePoints] = {"]
    for name, _, vec in t["density"]:
        out.append("  {  // %s" % name)
        out.append(array_body(vec, indent="    "))
        out.append("  },")
    out.append("};")
    out += ["", "}  // namespace vexcolor", ""]
    return "\n".join(out)


def gen_fixtures(t):
    names = ["A", "C", "D50", "D65"] + ["F%d" % i for i in range(1, 13)]
    out = [header("""Light-source test spectra, 1 nm from 360 to 780 nm, CIE scale: the same 1 nm series the weighting
tables use (A from its 1 nm table, C and F1-F12 by Sprague and 0 outside 380-780 nm, D65 linear,
D50 from S0, S1, S2)."""), "#pragma once", "", "namespace fixtures {", ""]
    for name in names:
        out.append("inline constexpr double k%s[421] = {" % name)
        out.append(array_body(t["ill1"][name]))
        out.append("};")
        out.append("")
    out += ["}  // namespace fixtures", ""]
    return "\n".join(out)


def render(src):
    t = build(src)
    check(t)
    files = {
        ("lib", "cmf.cpp"): gen_cmf(t),
        ("lib", "isotemperature.h"): gen_iso(t),
        ("lib", "locus_samples.cpp"): gen_misc(t),
        ("lib", "illuminants.cpp"): gen_illuminants(t),
        ("lib", "weights.cpp"): gen_weights(t),
        ("lib", "density.cpp"): gen_density(t),
        ("fixtures", "illuminants_1nm.h"): gen_fixtures(t),
    }
    return files


def write(files, lib_dir, fixture_dir):
    for (kind, name), text in files.items():
        d = lib_dir if kind == "lib" else fixture_dir
        os.makedirs(d, exist_ok=True)
        with open(os.path.join(d, name), "w", encoding="ascii", newline="\n") as f:
            f.write(text)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source", required=True)
    ap.add_argument("--lib-out", default=LIB_DIR)
    ap.add_argument("--fixtures-out", default=FIXTURE_DIR)
    ap.add_argument("--check", metavar="BUILD_DIR")
    args = ap.parse_args()
    if args.check and not os.path.isdir(args.source):
        print("source tables absent (%s): skipped" % args.source)
        return 77
    files = render(args.source)
    if not args.check:
        write(files, args.lib_out, args.fixtures_out)
        return 0
    lib_new = os.path.join(args.check, "generated")
    fix_new = os.path.join(args.check, "fixtures")
    write(files, lib_new, fix_new)
    status = 0
    for (kind, name), text in files.items():
        committed = os.path.join(LIB_DIR if kind == "lib" else FIXTURE_DIR, name)
        try:
            with open(committed, encoding="ascii") as f:
                old = f.read()
        except OSError:
            old = ""
        if old != text:
            status = 1
            print("out of date: %s" % os.path.relpath(committed, REPO))
            diff = difflib.unified_diff(old.splitlines(), text.splitlines(), "committed", "generated", lineterm="")
            for i, line in enumerate(diff):
                if i >= 40:
                    print("...")
                    break
                print(line)
    if status == 0:
        print("all %d generated files are current" % len(files))
    return status


if __name__ == "__main__":
    sys.exit(main())
