#!/usr/bin/env python3
"""Compares two raw planar streams plane by plane: max |diff| and PSNR per plane of every frame.
usage: compare.py A B WIDTH HEIGHT CHROMA(420|411) MAXDIFF MINPSNR"""
import math
import sys

a, b = open(sys.argv[1], 'rb').read(), open(sys.argv[2], 'rb').read()
w, h, chroma = int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
maxdiff, minpsnr = int(sys.argv[6]), float(sys.argv[7])
cw, ch = {'420': (w // 2, h // 2), '411': (w // 4, h), '422': (w // 2, h)}[chroma]
planes = [w * h, cw * ch, cw * ch]
fsize = sum(planes)
if len(a) != len(b) or len(a) % fsize:
    print(f'sizes differ: {len(a)} vs {len(b)} (frame {fsize})')
    sys.exit(1)
ok, worst_d, worst_p = True, 0, 1e9
for f in range(len(a) // fsize):
    off = f * fsize
    for p, n in enumerate(planes):
        x, y = a[off:off + n], b[off:off + n]
        d = [abs(i - j) for i, j in zip(x, y)]
        md = max(d)
        mse = sum(v * v for v in d) / n
        psnr = 99.0 if mse == 0 else 10 * math.log10(255 * 255 / mse)
        worst_d, worst_p = max(worst_d, md), min(worst_p, psnr)
        if md > maxdiff or psnr < minpsnr:
            print(f'frame {f} plane {p}: max diff {md}, PSNR {psnr:.2f} dB')
            ok = False
        off += n
print(f'{len(a) // fsize} frames, max diff {worst_d}, min PSNR {worst_p:.2f} dB')
sys.exit(0 if ok else 1)
