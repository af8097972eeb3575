#!/usr/bin/python3
"""Resizes one 8-bit plane with the peers resize_image is compared with.

Usage: peer_resize.py INPUT NY NX JOBS OUTPUT_DIR
  INPUT  the plane as NY x NX bytes, row after row
  JOBS   a file of lines "PEER FILTER ny nx": PEER is pillow or opencv,
         FILTER a name below; each result is written to OUTPUT_DIR as
         PEER_FILTER_ny_nx.raw, row after row, or skipped (no file) when the
         peer is not installed. Prints the peers that are missing.

Pillow: Image.resize with its default antialiasing (its kernels always widen
when shrinking); OpenCV: cv2.resize on one thread.
"""
import os
import sys

import numpy as np

PILLOW_FILTERS = {"nearest": "NEAREST", "bilinear": "BILINEAR", "bicubic": "BICUBIC", "box": "BOX",
                  "lanczos3": "LANCZOS"}
OPENCV_FILTERS = {"nearest_exact": "INTER_NEAREST_EXACT", "nearest": "INTER_NEAREST", "linear": "INTER_LINEAR",
                  "cubic": "INTER_CUBIC", "area": "INTER_AREA", "lanczos4": "INTER_LANCZOS4"}


def main():
    path, ny_in, nx_in, jobs, out_dir = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
    plane = np.fromfile(path, dtype=np.uint8).reshape(ny_in, nx_in)
    missing = set()
    try:
        from PIL import Image
        resampling = getattr(Image, "Resampling", Image)
        pillow_image = Image.fromarray(plane, mode="L")
    except ImportError:
        Image = None
        missing.add("pillow")
    try:
        import cv2
        cv2.setNumThreads(1)
    except ImportError:
        cv2 = None
        missing.add("opencv")
    for line in open(jobs):
        if not line.strip():
            continue
        peer, name, ny, nx = line.split()
        ny, nx = int(ny), int(nx)
        if peer == "pillow" and Image is not None:
            result = np.asarray(pillow_image.resize((nx, ny), getattr(resampling, PILLOW_FILTERS[name])))
        elif peer == "opencv" and cv2 is not None:
            result = cv2.resize(plane, (nx, ny), interpolation=getattr(cv2, OPENCV_FILTERS[name]))
        else:
            continue
        np.ascontiguousarray(result, dtype=np.uint8).tofile(os.path.join(out_dir, f"{peer}_{name}_{ny}_{nx}.raw"))
    print(" ".join(sorted(missing)))


if __name__ == "__main__":
    main()
