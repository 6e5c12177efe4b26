#!/usr/bin/python3
"""Checks an exported balloon page from outside the code that wrote it.

usage: check_html.py decode BALLOON.BAL PAGE.html
       check_html.py browser PAGE.html [--shots DIR]

decode: reads the page's data block with its own reader (base64, zlib, zigzag-coded
differences in two byte planes) and compares every direction with the balloon file: levels
within 0.005 dB, phases within 0.05 degree; the directions, frequencies and palette against the
balloon's grid and settings.

browser: opens the page from disk in Debian's headless chromium with the network off, driven
over the DevTools protocol (--remote-debugging-pipe): no console error or warning, nothing
fetched, the canvas drawn, 1 kHz and 8 kHz pictures that differ with the 8 kHz silhouette seen
from above the narrower, the slider moving the shown frequency and the polar plots, and the
read-out under the pointer. With --shots, the screenshots (front, 45 degrees above and from
above, 1 and 8 kHz) land in DIR.

Exits 0 when every check holds; prints each failure otherwise."""

import base64
import fcntl
import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

import numpy as np

ROWS, COLUMNS, BINS, POINTS = 37, 74, 760, 750
TRAILER = ROWS * COLUMNS * BINS * 8
FROM_HZ = [1, 2, 5, 10, 20, 50, 100, 200, 500, 1000]
TO_HZ = [500, 1000, 2000, 5000, 10000, 20000, 50000, 100000]

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


def page_parts(page_path):
    text = open(page_path, encoding="utf-8").read()
    meta = re.search(r'<script type="application/json" id="balloon-meta">(.*?)</script>', text, re.S)
    data = re.search(r'<script type="application/octet-stream" id="balloon-data">(.*?)</script>', text, re.S)
    return text, json.loads(meta.group(1)) if meta else None, data.group(1) if data else None


# --- decode -------------------------------------------------------------------------------


def decode(bal_path, page_path):
    raw = np.fromfile(bal_path, dtype="<u1")
    cells = raw[:TRAILER].view("<f4").reshape(ROWS, COLUMNS, BINS, 2)
    from_index, to_index, grid_flag = raw[TRAILER + 20:TRAILER + 32].view("<i4")
    step = 10 if grid_flag == 1 else 5

    _, meta, block = page_parts(page_path)
    if not check(meta is not None and block is not None, "the page has no metadata or no data block"):
        return
    check(meta["gridStep"] == step, "grid step %s, not %d" % (meta["gridStep"], step))
    check(meta["file"] == os.path.basename(bal_path), "file name " + meta["file"])

    # Unique directions: the axis, rows V = +90 .. above -90 without H = 0, 180, 360, the rear.
    expected = [(0, 0)] + [(h, 90 - r * step) for r in range(180 // step) for h in range(step, 360, step) if h != 180]
    expected.append((180, 0))
    directions = list(zip(meta["directions"][0::2], meta["directions"][1::2]))
    check(directions == expected, "directions: %d, not the %d of the grid" % (len(directions), len(expected)))

    f0, f1 = FROM_HZ[from_index], TO_HZ[to_index]
    axis = f0 * (f1 / f0) ** ((np.arange(POINTS) + 1) / POINTS)
    check(np.allclose(meta["frequencies"], axis, rtol=1e-6), "frequencies are not the balloon's axis")
    check(len(meta["palette"]) == 38 and meta["palette"][0] == [0, 0, 128] and meta["palette"][37] == [128, 0, 0],
          "palette is not the colour views' 38 colours")

    n = len(directions) * POINTS
    stream = zlib.decompress(base64.b64decode(block))
    if not check(len(stream) == 4 * n, "data block holds %d bytes, not %d" % (len(stream), 4 * n)):
        return
    planes = np.frombuffer(stream, dtype=np.uint8).reshape(2, 2, n).astype(np.int64)
    codes = (planes[:, 0] | planes[:, 1] << 8).reshape(2, len(directions), POINTS)
    differences = np.where(codes % 2 == 0, codes // 2, -(codes + 1) // 2)
    sums = np.cumsum(differences, axis=2)
    levels = ((sums[0] + 32768) % 65536 - 32768) * 0.01
    phases = ((sums[1] + 1800) % 3600 - 1800) * 0.1

    for d, (h, v) in enumerate(directions):
        z = cells[(90 - v) // step, h // step, :POINTS].astype(np.float64)
        power = z[:, 0] ** 2 + z[:, 1] ** 2
        level = np.where(power > 0, 10 * np.log10(np.where(power > 0, power, 1)) + 90, -40.0)
        phase = np.degrees(np.arctan2(z[:, 1], z[:, 0]))
        level_error = np.max(np.abs(levels[d] - level))
        phase_error = np.max(np.abs((phases[d] - phase + 180) % 360 - 180))
        if not check(level_error <= 0.005 + 1e-6 and phase_error <= 0.05 + 1e-6,
                     "H=%d V=%d: level off by %.4f dB, phase by %.4f deg" % (h, v, level_error, phase_error)):
            break


# --- browser ------------------------------------------------------------------------------


class Browser:
    """Headless chromium over the DevTools pipe: NUL-separated JSON on fds 3 (in) and 4 (out)."""

    def __init__(self, width, height):
        self.profile = tempfile.mkdtemp(prefix="vantrel-chromium-")
        cmd_r, self.cmd_w = os.pipe()
        self.res_r, res_w = os.pipe()

        def child():
            a, b = fcntl.fcntl(cmd_r, fcntl.F_DUPFD, 10), fcntl.fcntl(res_w, fcntl.F_DUPFD, 10)
            os.dup2(a, 3)
            os.dup2(b, 4)

        args = ["chromium", "--headless", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
                "--remote-debugging-pipe", "--user-data-dir=" + self.profile, "--no-first-run",
                "--no-default-browser-check", "--disable-extensions", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--host-resolver-rules=MAP * ~NOTFOUND",
                "--window-size=%d,%d" % (width, height), "about:blank"]
        self.process = subprocess.Popen(args, preexec_fn=child, pass_fds=(3, 4), stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(cmd_r)
        os.close(res_w)
        self.next_id = 0
        self.replies = {}
        self.events = []
        self.lock = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        target = self.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        for method in ["Page.enable", "Runtime.enable", "Log.enable", "Network.enable"]:
            self.send(method, session=True)
        self.send("Network.emulateNetworkConditions",
                  {"offline": True, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1}, session=True)
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False}, session=True)

    def _read(self):
        buffer = b""
        while True:
            chunk = os.read(self.res_r, 1 << 16)
            if not chunk:
                break
            buffer += chunk
            while b"\0" in buffer:
                message, buffer = buffer.split(b"\0", 1)
                reply = json.loads(message)
                with self.lock:
                    if "id" in reply:
                        self.replies[reply["id"]] = reply
                    else:
                        self.events.append(reply)
                    self.lock.notify_all()

    def send(self, method, params=None, session=False, timeout=60):
        with self.lock:
            self.next_id += 1
            ident = self.next_id
        message = {"id": ident, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = self.session
        os.write(self.cmd_w, json.dumps(message).encode() + b"\0")
        deadline = time.time() + timeout
        with self.lock:
            while ident not in self.replies:
                if not self.lock.wait(timeout=max(0.0, deadline - time.time())):
                    raise RuntimeError(method + ": no answer from chromium")
            reply = self.replies.pop(ident)
        if "error" in reply:
            raise RuntimeError(method + ": " + json.dumps(reply["error"]))
        return reply["result"]

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression, "awaitPromise": True, "returnByValue": True},
                           session=True)
        if "exceptionDetails" in result:
            raise RuntimeError(expression + ": " + json.dumps(result["exceptionDetails"]))
        return result["result"].get("value")

    def wait_for(self, expression, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.1)
        return None

    def open(self, url):
        self.send("Page.navigate", {"url": url}, session=True)
        self.wait_for("document.readyState === 'complete' && document.body && document.body.dataset.state")
        # Two frames, so what the last change drew is on screen.
        self.evaluate("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))")

    def screenshot(self, selector):
        box = self.evaluate("(() => { const b = document.querySelector(%s).getBoundingClientRect();"
                            " return [b.left, b.top, b.width, b.height]; })()" % json.dumps(selector))
        clip = {"x": box[0], "y": box[1], "width": box[2], "height": box[3], "scale": 1}
        return base64.b64decode(self.send("Page.captureScreenshot", {"format": "png", "clip": clip}, session=True)["data"])

    def close(self):
        try:
            self.send("Browser.close", timeout=10)
        except RuntimeError:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.cmd_w)
        shutil.rmtree(self.profile, ignore_errors=True)


def png_pixels(png):
    """RGB pixels of an 8-bit, non-interlaced RGB or RGBA PNG."""
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", png[16:29])
    assert depth == 8 and colour in (2, 6) and interlace == 0, "unexpected PNG format"
    channels = 3 if colour == 2 else 4
    data, at = b"", 8
    while at < len(png):
        length, kind = struct.unpack(">I4s", png[at:at + 8])
        if kind == b"IDAT":
            data += png[at + 8:at + 8 + length]
        at += 12 + length
    raw = zlib.decompress(data)
    stride = width * channels
    out = np.zeros((height, stride), dtype=np.uint8)
    previous = np.zeros(stride, dtype=np.int32)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = np.frombuffer(raw, dtype=np.uint8, count=stride, offset=y * (stride + 1) + 1).astype(np.int32)
        if kind == 1:
            line = np.cumsum(line.reshape(width, channels), axis=0).reshape(stride) % 256
        elif kind == 2:
            line = (line + previous) % 256
        elif kind in (3, 4):
            row = line.tolist()
            up = previous.tolist()
            for x in range(stride):
                left = row[x - channels] if x >= channels else 0
                if kind == 3:
                    row[x] = (row[x] + (left + up[x]) // 2) % 256
                else:
                    corner = up[x - channels] if x >= channels else 0
                    p = left + up[x] - corner
                    pa, pb, pc = abs(p - left), abs(p - up[x]), abs(p - corner)
                    predictor = left if pa <= pb and pa <= pc else up[x] if pb <= pc else corner
                    row[x] = (row[x] + predictor) % 256
            line = np.array(row, dtype=np.int32)
        out[y] = line
        previous = line
    return out.reshape(height, width, channels)[:, :, :3]


def silhouette(pixels):
    """Pixels of the balloon: those clearly off the white background."""
    return int(np.count_nonzero(pixels.min(axis=2) < 225))


def browser(page_path, shots):
    _, meta, _ = page_parts(page_path)
    freqs = meta["frequencies"]
    nearest = lambda hz: min(range(len(freqs)), key=lambda b: abs(math.log(freqs[b] / hz)))
    url = "file://" + os.path.abspath(page_path)
    b = Browser(1400, 1000)
    try:
        pictures = {}
        for elevation in (0, 45, 90):
            # A query of its own for each view: a change of the fragment alone reloads nothing.
            b.open(url + "?view=%d#hz=1000&axes=0&elev=%d" % (elevation, elevation))
            state = b.evaluate("document.body.dataset.state")
            if not check(state == "ready", "page state %r: %s" % (state, b.evaluate("document.getElementById('message').textContent"))):
                return
            before = b.evaluate("[document.getElementById('frequency-text').textContent,"
                                " document.querySelector('#polar-horizontal path').getAttribute('d'),"
                                " document.querySelector('#polar-vertical path').getAttribute('d')]")
            pictures[(1000, elevation)] = b.screenshot("#view")
            bin8k = nearest(8000)
            b.evaluate("(() => { const s = document.getElementById('frequency'); s.value = %d;"
                       " s.dispatchEvent(new Event('input')); })()" % bin8k)
            b.evaluate("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))")
            after = b.evaluate("[document.getElementById('frequency-text').textContent,"
                               " document.querySelector('#polar-horizontal path').getAttribute('d'),"
                               " document.querySelector('#polar-vertical path').getAttribute('d')]")
            pictures[(8000, elevation)] = b.screenshot("#view")
            check("(bin %d)" % bin8k in after[0] and after[0] != before[0], "frequency shown: %r, then %r" % (before[0], after[0]))
            check(after[1] != before[1] and after[2] != before[2], "the polar plots did not follow the slider")

        # The pointer read-out names the direction and the level under it.
        b.evaluate("document.getElementById('axes').click()")
        box = b.evaluate("(() => { const r = document.querySelector('#view canvas').getBoundingClientRect();"
                         " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
        b.send("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": box[0], "y": box[1]}, session=True)
        readout = b.evaluate("document.getElementById('readout').textContent")
        check("H = " in readout and " dB" in readout, "pointer read-out: %r" % readout)

        with b.lock:
            events = list(b.events)
        for e in events:
            method, params = e.get("method"), e.get("params", {})
            if method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "warning", "assert"):
                check(False, "console %s: %s" % (params["type"], json.dumps(params.get("args"))[:300]))
            elif method == "Runtime.exceptionThrown":
                check(False, "exception: " + json.dumps(params.get("exceptionDetails"))[:300])
            elif method == "Log.entryAdded" and params["entry"].get("level") in ("error", "warning"):
                check(False, "browser log %s: %s" % (params["entry"]["level"], params["entry"].get("text", "")[:300]))
            elif method == "Network.requestWillBeSent":
                scheme = params["request"]["url"].split(":", 1)[0]
                check(scheme in ("file", "data", "blob"), "fetched " + params["request"]["url"][:200])
    finally:
        b.close()

    pixels = {key: png_pixels(png) for key, png in pictures.items()}
    area = pixels[(1000, 0)].shape[0] * pixels[(1000, 0)].shape[1]
    front1, front8 = silhouette(pixels[(1000, 0)]), silhouette(pixels[(8000, 0)])
    check(front1 > 0.03 * area, "the 1 kHz canvas is blank (%d balloon pixels)" % front1)
    check(front8 > 0.03 * area, "the 8 kHz canvas is blank (%d balloon pixels)" % front8)
    changed = np.count_nonzero(np.any(pixels[(1000, 0)] != pixels[(8000, 0)], axis=2))
    check(changed > 0.01 * area, "1 kHz and 8 kHz pictures differ in %d pixels only" % changed)
    # Seen from above, the silhouette spans front to rear: the narrower beam has the smaller one.
    top1, top8 = silhouette(pixels[(1000, 90)]), silhouette(pixels[(8000, 90)])
    check(top8 < 0.85 * top1, "8 kHz silhouette from above (%d pixels) is not narrower than 1 kHz (%d)" % (top8, top1))
    if shots:
        os.makedirs(shots, exist_ok=True)
        for (hz, elevation), png in pictures.items():
            view = {0: "front", 45: "above45", 90: "top"}[elevation]
            with open(os.path.join(shots, "balloon-%dHz-%s.png" % (hz, view)), "wb") as f:
                f.write(png)
        print("silhouette pixels from the front: 1 kHz %d, 8 kHz %d; from above: %d, %d; of %d" %
              (front1, front8, top1, top8, area))


def main():
    args = sys.argv[1:]
    if args[0] == "decode":
        decode(args[1], args[2])
    else:
        browser(args[1], args[args.index("--shots") + 1] if "--shots" in args else None)
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
