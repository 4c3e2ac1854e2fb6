#!/usr/bin/python3
"""Checks that res/Surfo.tif is what tools/draw_icons.py draws today: five 64 x 64 RGBA
icons side by side, pixel for pixel."""

import os
import subprocess
import sys
import tempfile

from PIL import Image

root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
committed = os.path.join(root, "res", "Surfo.tif")
with tempfile.TemporaryDirectory() as folder:
    drawn = os.path.join(folder, "Surfo.tif")
    subprocess.run([sys.executable, os.path.join(root, "tools", "draw_icons.py"), "--out", drawn, "--preview", ""],
                   check=True)
    with Image.open(committed) as old, Image.open(drawn) as new:
        if (old.mode, old.size) != ("RGBA", (320, 64)):
            sys.exit("check_icons: res/Surfo.tif is %s %dx%d, not RGBA 320x64" % ((old.mode,) + old.size))
        if old.tobytes() != new.tobytes():
            sys.exit("check_icons: res/Surfo.tif is not what tools/draw_icons.py draws: run it")
print("check_icons: res/Surfo.tif is up to date")
