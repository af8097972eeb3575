#!/usr/bin/python3
"""The rows of make bench that compare resize_image's kernel with Pillow.

Usage: pillow_rows.py DIR [--quick]
  DIR holds what bench_resize --write=DIR wrote: gray.raw and rgb.raw (the
  same 1920x1080 images) and times.txt (its best times, ours and OpenCV's).
Pillow (Image.resize, one thread, its default antialiasing) is timed here on
the same images, best of several calls: antialiased shrinking against Pillow;
enlarging against the faster of Pillow and cv::resize where OpenCV does the
same work (INTER_LINEAR, INTER_CUBIC, INTER_NEAREST_EXACT).
"""
import math
import sys
import time

import numpy as np
from PIL import Image

ROWS, COLS = 1080, 1920
FACTORS = [0.5, 0.8, 1.25, 2.0]
FILTERS = {"bilinear": "BILINEAR", "bicubic": "BICUBIC", "lanczos3": "LANCZOS", "box": "BOX", "nearest": "NEAREST"}


def best_time(call, calls):
    best = math.inf
    for _ in range(calls):
        start = time.perf_counter()
        call()
        best = min(best, time.perf_counter() - start)
    return best


def main():
    folder = sys.argv[1]
    calls = 3 if "--quick" in sys.argv else 9
    times = {}
    for line in open(f"{folder}/times.txt"):
        name, seconds = line.split()
        times[name] = float(seconds)
    resampling = getattr(Image, "Resampling", Image)
    images = {
        "gray": Image.fromarray(np.fromfile(f"{folder}/gray.raw", dtype=np.uint8).reshape(ROWS, COLS), mode="L"),
        "colour": Image.fromarray(np.fromfile(f"{folder}/rgb.raw", dtype=np.uint8).reshape(ROWS, COLS, 3),
                                  mode="RGB"),
    }
    print("| Kernel | Case | Ours | Peer | Ratio (ours faster when > 1) |")
    print("|---|---|---|---|---|")
    ratios = []
    for image_name, image in images.items():
        for method, pillow_filter in FILTERS.items():
            for factor in FACTORS:
                size = (math.ceil(factor * COLS), math.ceil(factor * ROWS))
                flt = getattr(resampling, pillow_filter)
                pillow = best_time(lambda: image.resize(size, flt), calls)
                ours = times[f"ours/{image_name}/{method}/{factor:.2f}"]
                opencv = times.get(f"opencv/{image_name}/{method}/{factor:.2f}")
                if factor < 1.0 or opencv is None:
                    peer, peer_name = pillow, f"Pillow {pillow_filter}"
                    if factor < 1.0 and method != "nearest":
                        peer_name += ", both antialiased"
                else:
                    peer, peer_name = min((pillow, f"Pillow {pillow_filter}"), (opencv, "cv::resize"))
                    peer_name += f" (the faster: Pillow {pillow * 1e3:.2f} ms, OpenCV {opencv * 1e3:.2f} ms)"
                ratios.append(peer / ours)
                print(f"| separable_resize | {image_name} 1 thread, {method} vs {peer_name} 1 thread, "
                      f"1920x1080 x {factor:.2f} | {ours * 1e3:.2f} ms | {peer * 1e3:.2f} ms | **{peer / ours:.2f}** |")
    print(f"| separable_resize | geometric mean of the {len(ratios)} ratios above (worst {min(ratios):.2f}) | | | "
          f"**{math.exp(sum(map(math.log, ratios)) / len(ratios)):.2f}** |")


if __name__ == "__main__":
    main()
