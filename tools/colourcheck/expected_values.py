#!/usr/bin/env python3
"""Reprints the expected colour values of tests/app/tst_colour_units.cpp.

An independent re-computation from the published sRGB (IEC 61966-2-1) and CIE 1976 L*a*b* formulas with the
program's constants (sRGB/D65 matrices, D50 white 0.96422 / 1.0 / 0.82521, 8-bit channels rounded to two
decimals). Standard library only; run it with python3 and compare with the tables of the test.
"""

XN, YN, ZN = 0.96422, 1.0, 0.82521


def rgb_to_xyz(rgb):
    def lin(c):
        c /= 255.0
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (lin(c) for c in rgb)
    return (
        (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) * 100.0,
        (0.2126729 * r + 0.7151522 * g + 0.072175 * b) * 100.0,
        (0.0193339 * r + 0.119192 * g + 0.9503041 * b) * 100.0,
    )


def xyz_to_rgb(xyz):
    x, y, z = (v / 100.0 for v in xyz)
    lin = (
        3.2404542 * x - 1.5371385 * y - 0.4985314 * z,
        -0.969266 * x + 1.8760108 * y + 0.041556 * z,
        0.0556434 * x - 0.2040259 * y + 1.0572252 * z,
    )
    out = []
    for v in lin:
        v = 12.92 * v if v <= 0.0031308 else 1.055 * v ** (1.0 / 2.4) - 0.055
        v = min(max(v, 0.0), 1.0)
        out.append(int(v * 255.0 * 100.0 + 0.5) / 100.0)
    return tuple(out)


def xyz_to_lab(xyz):
    def f(t):
        return t ** (1.0 / 3.0) if t > 0.008856 else 7.787 * t + 16.0 / 116.0
    u = f(xyz[0] / XN / 100.0)
    v = f(xyz[1] / YN / 100.0)
    w = f(xyz[2] / ZN / 100.0)
    return (116.0 * v - 16.0, 500.0 * (u - v), 200.0 * (v - w))


def lab_to_xyz(lab):
    d = 6.0 / 29.0

    def t(f):
        return f ** 3 if f > d else 3.0 * d * d * (f - 4.0 / 29.0)
    v = (lab[0] + 16.0) / 116.0
    u = v + lab[1] / 500.0
    w = v - lab[2] / 200.0
    return (XN * t(u) * 100.0, YN * t(v) * 100.0, ZN * t(w) * 100.0)


def lab_to_rgb(lab):
    return xyz_to_rgb(lab_to_xyz(lab))


def ink_tint_to_rgb(tint, ink):
    paper = xyz_to_lab(rgb_to_xyz((255.0, 255.0, 255.0)))
    lab = [(ink[i] / 100.0 - paper[i]) * tint / 100.0 + paper[i] for i in range(3)]
    return lab_to_rgb(lab)


def rgb_to_cmyk(rgb):
    k = min(1.0 - rgb[0] / 255.0, 1.0 - rgb[1] / 255.0, 1.0 - rgb[2] / 255.0)
    if rgb[0] == 0 and rgb[1] == 0 and rgb[2] == 0:
        cmy = [0.0, 0.0, 0.0]
    else:
        cmy = [int((1.0 - c / 255.0 - k) / (1.0 - k) * 10000.0 + 0.5) / 100.0 for c in rgb]
    return tuple(cmy) + (int(k * 10000.0 + 0.5) / 100.0,)


def cmyk_to_rgb(cmyk):
    k = cmyk[3]
    out = []
    for c in cmyk[:3]:
        v = min(c * (100.0 - k) / 100.0 + k, 100.0)
        out.append(int((100.0 - v) * 255.0 + 0.5) / 100.0)
    return tuple(out)


def fmt(values, digits):
    return ", ".join("%.*f" % (digits, v) for v in values)


def main():
    print("RGB -> XYZ -> L*a*b* -> RGB")
    for rgb in [(255, 255, 255), (255, 0, 0), (0, 0, 255), (128, 128, 128), (200, 100, 50), (10, 10, 10)]:
        xyz = rgb_to_xyz(rgb)
        lab = xyz_to_lab(xyz)
        print("  %-12s | %s | %s | %s" % (",".join(map(str, rgb)), fmt(xyz, 4), fmt(lab, 4), fmt(lab_to_rgb(lab), 2)))
    print("LabToRgb")
    for lab in [(68, -46, -51), (57, 87, -6), (15, 2, 1), (50, 0, 0)]:
        print("  %-12s -> %s" % (",".join(map(str, lab)), fmt(lab_to_rgb(lab), 2)))
    print("InkTintToRgb (Cyan 6800/-4600/-5100)")
    for tint in (50, 100, 0):
        print("  %3d -> %s" % (tint, fmt(ink_tint_to_rgb(tint, (6800, -4600, -5100)), 2)))
    print("RgbToCmyk")
    for rgb in [(0, 0, 0), (255, 255, 255), (200, 100, 50), (30, 60, 90)]:
        print("  %-12s -> %s" % (",".join(map(str, rgb)), fmt(rgb_to_cmyk(rgb), 2)))
    print("CmykToRgb")
    for cmyk in [(0, 0, 0, 0), (100, 0, 0, 0), (50, 0, 0, 0), (20, 40, 60, 10)]:
        print("  %-12s -> %s" % (",".join(map(str, cmyk)), fmt(cmyk_to_rgb(cmyk), 2)))


if __name__ == "__main__":
    main()
