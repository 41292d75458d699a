#!/usr/bin/env python3
"""The page's own speed in headless Chromium: for a mode's key, the mean of
its own work per frame (the canvas's data-work-ms: idle step, display code,
gathering and upload) and its frames per second over the last part of a run.
Prints one line: KEY WORK_MS FPS FRAMES.

usage: page_speed.py PATCHVIEW_HTML KEY [SECONDS]"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser  # noqa: E402


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    page, key = os.path.abspath(sys.argv[1]), sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) == 4 else 20.0
    with Browser("chromium") as browser:
        browser.get("file://" + page)
        browser.press(key)
        frames = "return Number(document.getElementById('view').dataset.frames || 0)"
        deadline = time.time() + 60
        while browser.run(frames) < 2:
            if time.time() > deadline:
                sys.exit("the page drew no frames")
            time.sleep(0.1)
        # Frames per second over the second half of the run, after warm-up.
        time.sleep(seconds / 2)
        start, first = time.time(), browser.run(frames)
        time.sleep(seconds / 2)
        end, last = time.time(), browser.run(frames)
        work = browser.run("return document.getElementById('view').dataset.workMs")
        # Without the draw call from here on, and after a pause in which the
        # software rasteriser finishes the frames drawn before; the loop runs
        # in one task, so no animation frame comes between its rounds.
        browser.run("Module.pvRenderer.draw = function () {};")
        time.sleep(1)
        loop = browser.run("""
            const rounds = [];
            for (let r = 0; r < 10; ++r) {
              const start = performance.now();
              for (let i = 0; i < arguments[0]; ++i) {
                Module._pv_step();
                Module._pv_display();
              }
              rounds.push((performance.now() - start) / arguments[0]);
            }
            return Math.min(...rounds);""", 20 if key == "1" else 100)
        print(key, work, "%.1f" % ((last - first) / (end - start)), last, "%.3f" % loop)


if __name__ == "__main__":
    main()
