"""Reads a PSD file with psd-tools and checks it against a JSON list of expectations.

Usage: check_psd.py FILE.psd EXPECT.json. Exit status 0 when everything matches; otherwise
each mismatch is printed. EXPECT.json holds width, height, tolerance, layers (name, opacity,
pixels: [x, y, r, g, b, a]) and composite (pixels: [x, y, r, g, b]).
"""
import json
import sys

from psd_tools import PSDImage


def close(actual, expected, tolerance):
    return all(abs(int(a) - int(e)) <= tolerance for a, e in zip(actual, expected))


def main(psd_path, expect_path):
    with open(expect_path, encoding="utf-8") as f:
        expect = json.load(f)
    tolerance = expect.get("tolerance", 0)
    psd = PSDImage.open(psd_path)
    faults = []
    if (psd.width, psd.height) != (expect["width"], expect["height"]):
        faults.append(f"size {psd.width}x{psd.height}")
    layers = list(psd)
    if len(layers) != len(expect["layers"]):
        faults.append(f"{len(layers)} layers")
    for layer, wanted in zip(layers, expect["layers"]):
        if layer.name != wanted["name"]:
            faults.append(f"name {layer.name!r} instead of {wanted['name']!r}")
        if layer.opacity != wanted["opacity"]:
            faults.append(f"{wanted['name']}: opacity {layer.opacity}")
        image = layer.topil().convert("RGBA")
        left, top = layer.left, layer.top
        for x, y, *rgba in wanted["pixels"]:
            actual = image.getpixel((x - left, y - top))
            # Colour means nothing where a pixel is fully transparent.
            if rgba[3] == 0:
                actual, rgba = actual[3:], rgba[3:]
            if not close(actual, rgba, tolerance):
                faults.append(f"{wanted['name']} ({x}, {y}): {actual} instead of {rgba}")
    merged = psd.topil().convert("RGB")
    for x, y, *rgb in expect["composite"]:
        actual = merged.getpixel((x, y))
        if not close(actual, rgb, tolerance):
            faults.append(f"composite ({x}, {y}): {actual} instead of {rgb}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
