"""Checks a layered document with psd-tools, an independent reader, against what it must hold.

    psdcheck.py FILE.psd FOLDER [--key none|white|black]
        the document Quillane makes of the folder: every image of it a layer, in file-name
        order, on the canvas of the first, keyed when asked; each layer read back equal to its
        source as Pillow decodes it (PICT sources: name and place only)
    psdcheck.py FILE.psd --manifest MANIFEST.json
        {"canvas": [w, h], "layers": [{"name", "raw", "width", "height"}]}: raw straight RGBA8
        files as the layers' sources

A layer equals its source where the source covers the canvas and is transparent (all 0)
elsewhere; where the source itself is fully transparent, its colour is written white. The
merged image is the layers drawn over white.
Prints each fault; the exit status is 1 when there is one.
"""
import argparse
import json
import os
import sys

import numpy
from PIL import Image
from psd_tools import PSDImage

EXTENSIONS = {"jpg", "jpeg", "bmp", "gif", "png", "tif", "tiff"}
PICT_EXTENSIONS = {"pict", "pct", "pic"}
KEYS = {"none": None, "white": 255, "black": 0}


def split_name(name):
    stem, dot, ext = name.rpartition(".")
    return (stem, ext) if dot else (name, "")


def listed_images(folder):
    """The folder's images in the job's order: stem, then extension, compared by bytes."""
    names = [n for n in os.listdir(folder)
             if os.path.isfile(os.path.join(folder, n)) and not os.path.islink(os.path.join(folder, n))
             and (split_name(n)[1].lower() in EXTENSIONS or split_name(n)[1] in PICT_EXTENSIONS)]
    return sorted(names, key=lambda n: tuple(part.encode() for part in split_name(n)))


def decode(path, key):
    """The source's straight RGBA pixels, keyed as the job keys them; None for PICT and what
    Pillow does not read."""
    if split_name(path)[1] in PICT_EXTENSIONS:
        return None
    try:
        with Image.open(path) as image:
            pixels = numpy.array(image.convert("RGBA"), dtype=numpy.uint8)
    except (OSError, ValueError):
        return None
    if KEYS[key] is not None:
        pixels[(pixels[..., :3] == KEYS[key]).all(axis=2)] = 0
    return pixels


def expected_from_folder(folder, key):
    names = listed_images(folder)
    sources = [decode(os.path.join(folder, name), key) for name in names]
    return names, sources


def expected_from_manifest(path):
    with open(path, encoding="utf-8") as f:
        manifest = json.load(f)
    folder = os.path.dirname(path)
    names, sources = [], []
    for layer in manifest["layers"]:
        raw = numpy.fromfile(os.path.join(folder, layer["raw"]), dtype=numpy.uint8)
        names.append(layer["name"])
        sources.append(raw.reshape(layer["height"], layer["width"], 4))
    return manifest["canvas"], names, sources


def on_canvas(pixels, width, height):
    """The source cropped at the canvas's top-left, transparent where it does not reach."""
    layer = numpy.zeros((height, width, 4), dtype=numpy.uint8)
    h, w = min(height, pixels.shape[0]), min(width, pixels.shape[1])
    layer[:h, :w] = pixels[:h, :w]
    clear = layer[:h, :w, 3] == 0
    layer[:h, :w, :3][clear] = 255
    return layer


def over_white(layers, width, height):
    canvas = numpy.full((height, width, 3), 255.0)
    for layer in layers:
        alpha = layer[..., 3:].astype(float) / 255.0
        canvas = layer[..., :3] * alpha + canvas * (1.0 - alpha)
    return canvas


def check(psd_path, canvas, names, sources):
    faults = []
    psd = PSDImage.open(psd_path)
    width, height = canvas
    if (psd.width, psd.height) != (width, height):
        return ["canvas %dx%d, not %dx%d" % (psd.width, psd.height, width, height)]
    layers = list(psd)
    if [layer.name for layer in layers] != names:
        return ["layers %r, not %r" % ([layer.name for layer in layers], names)]
    drawn = []
    for layer, source in zip(layers, sources):
        actual = numpy.zeros((height, width, 4), dtype=numpy.uint8)
        if layer.bbox != (0, 0, 0, 0):
            left, top, right, bottom = layer.bbox
            actual[top:bottom, left:right] = numpy.array(layer.topil().convert("RGBA"))
        if (layer.offset, layer.size) != ((0, 0), (width, height)) and layer.bbox != (0, 0, 0, 0):
            faults.append("%s: record at %r size %r" % (layer.name, layer.offset, layer.size))
        if layer.opacity != 255 or not layer.visible:
            faults.append("%s: opacity %d, visible %s" % (layer.name, layer.opacity, layer.visible))
        if source is None:
            drawn.append(actual)
            continue
        expected = on_canvas(source, width, height)
        drawn.append(expected)
        wrong = (actual != expected).any(axis=2)
        if wrong.any():
            y, x = numpy.argwhere(wrong)[0]
            faults.append("%s: %d pixels differ, first (%d, %d): %r, not %r" % (
                layer.name, wrong.sum(), x, y, tuple(actual[y, x]), tuple(expected[y, x])))
    merged = numpy.array(psd.topil().convert("RGB"), dtype=float)
    # pixman rounds each layer's blend to 8 bits: a step of at most one per layer.
    worst = numpy.abs(merged - over_white(drawn, width, height)).max()
    if worst > len(drawn):
        faults.append("merged image off by %d" % worst)
    return faults


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("psd")
    parser.add_argument("folder", nargs="?")
    parser.add_argument("--key", default="none", choices=KEYS)
    parser.add_argument("--manifest")
    args = parser.parse_args()
    if args.manifest:
        canvas, names, sources = expected_from_manifest(args.manifest)
    else:
        names, sources = expected_from_folder(args.folder, args.key)
        first = sources[0] if sources else None
        if first is None:
            print("the first image of the folder is no image Pillow reads")
            return 1
        canvas = (first.shape[1], first.shape[0])
    faults = check(args.psd, canvas, names, sources)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
