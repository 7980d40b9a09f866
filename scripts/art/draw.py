#!/usr/bin/env python3
"""Draws every picture of Fenwyk Flashwell as a small SVG file in resources/images.

Run from anywhere: python3 scripts/art/draw.py
The output is committed; the build only compiles the SVG files into the resources.

Style: flat shapes, no outlines except one silhouette edge, a shared palette. Every
product belongs to one family (pad, retro pad, arcade stick, dongle, puck adapter,
mod-kit board); each family is one drawing function in its own coordinate frame
centred on (0, 0) that returns the anchor points of its buttons and its USB port,
so the guide pictures can highlight and label the buttons they ask the user to hold.
The SVG stays inside what Qt SVG (SVG Tiny 1.2) renders: basic shapes, paths, groups
with transforms, fill/stroke opacity and sans-serif text.
"""

import os
import plistlib
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "resources", "images")
PLIST = os.path.join(ROOT, "resources", "SFenwykDevice.plist")

# ---------------------------------------------------------------- palette

CHAR = "#3B4150"
SLATE = "#5B6577"
WHITE = "#F4F5F7"
LGREY = "#CDD2DA"
NAVY = "#2C4A7E"
TEAL = "#23877F"
RED = "#C9473D"
YELLOW = "#E7B83F"
PURPLE = "#6A58A6"
GREEN = "#4C9A5A"
SKY = "#4F9BD9"
PINK = "#D86A8F"
SAND = "#D9C7A3"
MINT = "#8FD1B5"

HOLD = "#FF6A00"  # what the user must hold in the guide pictures
ARROW = "#2F80ED"  # movement arrows and the update button
INK = "#2B2F38"
METAL = "#B9C0C9"


def rgb(c):
    c = c.lstrip("#")
    return tuple(int(c[i:i + 2], 16) for i in (0, 2, 4))


def hexc(t):
    return "#%02X%02X%02X" % tuple(max(0, min(255, int(round(v)))) for v in t)


def mix(a, b, f):
    """a blended f of the way toward b."""
    ra, rb = rgb(a), rgb(b)
    return hexc(tuple(x + (y - x) * f for x, y in zip(ra, rb)))


def shade(c, f):
    return mix(c, "#000000", f)


def tint_up(c, f):
    return mix(c, "#FFFFFF", f)


def is_dark(c):
    r, g, b = rgb(c)
    return 0.299 * r + 0.587 * g + 0.114 * b < 120


def fmt(v):
    if isinstance(v, float):
        s = "%.2f" % v
        s = s.rstrip("0").rstrip(".")
        return "0" if s in ("-0", "") else s
    return str(v)


# ---------------------------------------------------------------- pen


class Pen:
    """Collects SVG elements; every colour goes through `col` so a pressed picture
    can be drawn by the same code with a darker, bluer palette."""

    def __init__(self, w, h, tint=None):
        self.w, self.h = w, h
        self.parts = []
        self.tint = tint

    def col(self, c):
        if c is None or c == "none":
            return "none"
        return self.tint(c) if self.tint else c

    def _paint(self, fill, stroke, sw, fo, so, extra=""):
        a = ' fill="%s"' % self.col(fill)
        if stroke:
            a += ' stroke="%s" stroke-width="%s"' % (self.col(stroke), fmt(sw))
            a += ' stroke-linecap="round" stroke-linejoin="round"'
        if fo is not None:
            a += ' fill-opacity="%s"' % fmt(fo)
        if so is not None:
            a += ' stroke-opacity="%s"' % fmt(so)
        return a + extra

    def rect(self, x, y, w, h, rx=0, fill=None, stroke=None, sw=1, fo=None, so=None):
        r = ' rx="%s"' % fmt(float(rx)) if rx else ""
        self.parts.append('<rect x="%s" y="%s" width="%s" height="%s"%s%s/>' % (
            fmt(float(x)), fmt(float(y)), fmt(float(w)), fmt(float(h)), r,
            self._paint(fill, stroke, sw, fo, so)))

    def circle(self, cx, cy, r, fill=None, stroke=None, sw=1, fo=None, so=None):
        self.parts.append('<circle cx="%s" cy="%s" r="%s"%s/>' % (
            fmt(float(cx)), fmt(float(cy)), fmt(float(r)), self._paint(fill, stroke, sw, fo, so)))

    def ellipse(self, cx, cy, rx, ry, fill=None, stroke=None, sw=1, rot=0):
        if rot:
            self.open("translate(%s %s) rotate(%s)" % (fmt(float(cx)), fmt(float(cy)), fmt(float(rot))))
            cx = cy = 0
        self.parts.append('<ellipse cx="%s" cy="%s" rx="%s" ry="%s"%s/>' % (
            fmt(float(cx)), fmt(float(cy)), fmt(float(rx)), fmt(float(ry)),
            self._paint(fill, stroke, sw, None, None)))
        if rot:
            self.close()

    def path(self, d, fill=None, stroke=None, sw=1, fo=None, so=None):
        self.parts.append('<path d="%s"%s/>' % (d, self._paint(fill, stroke, sw, fo, so)))

    def line(self, x1, y1, x2, y2, stroke, sw=1, so=None):
        self.path("M%s %sL%s %s" % tuple(fmt(float(v)) for v in (x1, y1, x2, y2)),
                  fill="none", stroke=stroke, sw=sw, so=so)

    def text(self, x, y, s, size, fill, anchor="middle", weight="bold"):
        self.parts.append(
            '<text x="%s" y="%s" font-family="sans-serif" font-size="%s" font-weight="%s" '
            'text-anchor="%s" fill="%s">%s</text>' % (
                fmt(float(x)), fmt(float(y)), fmt(float(size)), weight, anchor, self.col(fill),
                s.replace("&", "&amp;").replace("<", "&lt;")))

    def open(self, transform):
        self.parts.append('<g transform="%s">' % transform)

    def close(self):
        self.parts.append("</g>")

    def svg(self):
        head = ('<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
                'width="%d" height="%d" viewBox="0 0 %d %d">' % (self.w, self.h, self.w, self.h))
        return head + "\n" + "\n".join(self.parts) + "\n</svg>\n"


def pressed_tint(c):
    return mix(shade(c, 0.18), "#1D4E9E", 0.28)


# ---------------------------------------------------------------- products


class Look:
    """How one product looks: its family and the per-product variations."""

    def __init__(self, family, body, accent, mark="", **opts):
        self.family = family
        self.body = body
        self.accent = accent
        self.mark = mark
        self.opts = opts

    def opt(self, key, default=None):
        return self.opts.get(key, default)


# Families: pad (modern, two sticks), retro (flat pad), stick (arcade stick),
# dongle (2.4 GHz receiver), puck (adapter on a short cable), kit (mod-kit board).
LOOKS = {
    "sparrow": Look("pad", WHITE, SKY, "SPARROW"),
    "wren": Look("retro", SAND, RED, "WREN"),
    "dove_f2": Look("pad", LGREY, PURPLE, "DOVE F2", layout="offset"),
    "dove": Look("retro", WHITE, PURPLE, "DOVE"),
    "pipit": Look("retro", "#F2D46B", CHAR, "PIPIT"),
    "puffin": Look("pad", CHAR, RED, "PUFFIN"),
    "puffin_lite": Look("pad", LGREY, RED, "PUFFIN LITE"),
    "shrike": Look("dongle", CHAR, TEAL, "SHRIKE", shape="nub"),
    "nightjar": Look("dongle", CHAR, PURPLE, "NIGHTJAR"),
    "nightjar_f1": Look("dongle", WHITE, PURPLE, "NIGHTJAR F1"),
    "albatross": Look("puck", LGREY, NAVY, "ALBATROSS"),
    "gannet": Look("pad", NAVY, YELLOW, "GANNET", layout="offset"),
    "auk": Look("pad", "#2A2E36", WHITE, "AUK", grips=SLATE),
    "heron": Look("pad", TEAL, WHITE, "HERON"),
    "heron_pro": Look("pad", "#1F5F5A", MINT, "HERON PRO", paddles=True, grips=CHAR),
    "osprey": Look("pad", SLATE, YELLOW, "OSPREY", layout="offset"),
    "osprey_lite": Look("pad", LGREY, SLATE, "OSPREY LITE", layout="offset"),
    "osprey_se": Look("pad", "#8A5A3C", SAND, "OSPREY SE", layout="offset", grips=CHAR),
    "crane": Look("pad", WHITE, NAVY, "CRANE", grips=NAVY),
    "dunlin": Look("retro", LGREY, NAVY, "DUNLIN"),
    "crane_lite": Look("pad", WHITE, SKY, "CRANE LITE"),
    "swift_receiver": Look("dongle", NAVY, SKY, "SWIFT"),
    "magpie": Look("dongle", WHITE, CHAR, "MAGPIE", shape="nub"),
    "lark_mod_kit": Look("kit", "#2E7D4F", YELLOW, "LARK", keys=("BOOT", "MODE")),
    "finch": Look("pad", YELLOW, CHAR, "FINCH"),
    "finch_wireless": Look("pad", "#F0C95C", NAVY, "FINCH W", grips=CHAR),
    "condor": Look("pad", CHAR, GREEN, "CONDOR", layout="offset"),
    "condor_pro": Look("pad", "#23262D", GREEN, "CONDOR PRO", layout="offset", paddles=True,
                       grips=GREEN),
    "condor_se": Look("pad", WHITE, GREEN, "CONDOR SE", layout="offset", grips=CHAR),
    "robin": Look("pad", RED, WHITE, "ROBIN"),
    "robin_pro": Look("pad", "#9E2F28", WHITE, "ROBIN PRO", paddles=True, grips=CHAR),
    "kestrel_arcade_stick": Look("stick", CHAR, RED, "KESTREL"),
    "kestrel_pro_arcade_stick": Look("stick", NAVY, YELLOW, "KESTREL PRO", pro=True),
    "robin_lite": Look("pad", PINK, WHITE, "ROBIN LITE"),
    "tern": Look("pad", "#E9EEF3", TEAL, "TERN", grips=TEAL),
    "tern_pro": Look("pad", "#1E3B4F", TEAL, "TERN PRO", paddles=True),
    "tern_ultra": Look("stick", WHITE, TEAL, "TERN ULTRA"),
    "plover": Look("puck", SAND, GREEN, "PLOVER"),
    "crane_wireless": Look("pad", LGREY, NAVY, "CRANE W", grips=NAVY),
    "crane_duo": Look("pad", NAVY, WHITE, "CRANE DUO", grips=SKY),
    "summit_adapter": Look("puck", CHAR, RED, "SUMMIT"),
    "crane_duo_pro": Look("pad", "#1B2C4A", SKY, "CRANE DUO PRO", paddles=True, grips=SKY),
    "summit_24g_adapter": Look("dongle", CHAR, RED, "SUMMIT 2.4 GHz"),
    "condor_lite": Look("pad", LGREY, GREEN, "CONDOR LITE", layout="offset"),
    "petrel": Look("pad", PURPLE, WHITE, "PETREL"),
    "grebe": Look("pad", "#4A6B52", SAND, "GREBE", layout="offset"),
    "summit_pad": Look("pad", CHAR, RED, "SUMMIT", grips=RED),
    "bolt_mod_kit": Look("kit", "#23262D", RED, "BOLT"),
    "bolt_pro_mod_kit": Look("kit", "#1F4E8C", YELLOW, "BOLT PRO"),
    "bolt_duo_mod_kit": Look("kit", "#4B3A7A", MINT, "BOLT DUO", antenna=True),
    "bolt_mini_mod_kit": Look("kit", "#2E7D4F", WHITE, "BOLT MINI", mini=True),
    "vireo_duo": Look("pad", GREEN, WHITE, "VIREO DUO", grips=CHAR),
    "vireo": Look("pad", "#CFE3C9", GREEN, "VIREO"),
    "vireo_pro": Look("dongle", GREEN, WHITE, "VIREO PRO", shape="nub"),
    "vireo_se": Look("pad", WHITE, GREEN, "VIREO SE", grips=GREEN),
    "bridge_adapter": Look("puck", SLATE, YELLOW, "BRIDGE"),
}

# Pictures that are not a catalogue entry but draw a device.
EXTRA_LOOKS = {
    "device_default": Look("pad", LGREY, SLATE, ""),
    "receiver_default": Look("dongle", LGREY, SKY, ""),
    "receiver_48": Look("dongle", CHAR, RED, "", shape="nub"),
    "receiver_57": Look("dongle", GREEN, WHITE, "", shape="long"),
}


# ---------------------------------------------------------------- families
#
# Each function draws at the origin and returns a dict:
#   "box": (x0, y0, x1, y1) extent of the drawing,
#   "port": (x, y, side) where the cable enters ("top" or "right"),
#   "keys": {name: (x, y, r, side)} with side the preferred place of its label.


def detail_colour(body):
    return "#1C1F26" if is_dark(body) else INK


def pad_modern(p, L, mark=True):
    body, acc = L.body, L.accent
    det = detail_colour(body)
    edge = shade(body, 0.35) if not is_dark(body) else "#15171C"
    grips = L.opt("grips", body)
    trig = shade(body, 0.22) if not is_dark(body) else tint_up(body, 0.12)
    keys = {}
    # Triggers and bumpers sit behind the body.
    for sx in (-1, 1):
        p.rect(sx * 78 - 22, -82, 44, 22, 7, fill=shade(trig, 0.12), stroke=edge, sw=2)
        p.rect(sx * 80 - 28, -70, 56, 18, 8, fill=trig, stroke=edge, sw=2)
    keys["L2"] = (-78, -76, 9, "left")
    keys["R2"] = (78, -76, 9, "right")
    keys["L1"] = (-80, -63, 10, "left")
    keys["R1"] = (80, -63, 10, "right")
    if L.opt("paddles"):
        for sx, n in ((-1, "M1"), (1, "M2")):
            p.rect(sx * 52 - 9, 62, 18, 26, 7, fill=L.accent, stroke=edge, sw=2)
            keys[n] = (sx * 52, 80, 9, "below")

    def silhouette(fill, stroke=None, sw=0):
        p.rect(-104, -60, 208, 96, 42, fill=fill, stroke=stroke, sw=sw)
        for sx in (-1, 1):
            p.ellipse(sx * 80, 34, 37, 52, fill=fill, stroke=stroke, sw=sw, rot=-sx * 18)

    silhouette(edge, edge, 5)
    silhouette(body)
    if grips != body:
        for sx in (-1, 1):
            p.ellipse(sx * 81, 42, 30, 38, fill=grips, rot=-sx * 18)
    offset = L.opt("layout") == "offset"
    dpad = (-36, 14) if offset else (-64, -20)
    lstick = (-64, -20) if offset else (-36, 16)
    face = (64, -20)
    rstick = (36, 16)
    # Direction pad.
    x, y = dpad
    p.rect(x - 5.5, y - 17, 11, 34, 2.5, fill=det)
    p.rect(x - 17, y - 5.5, 34, 11, 2.5, fill=det)
    p.circle(x, y, 3, fill=tint_up(det, 0.15))
    keys["UP"] = (x, y - 11, 6, "below")
    # Sticks.
    for (x, y), n in ((lstick, "LS"), (rstick, "RS")):
        p.circle(x, y, 15.5, fill=det)
        p.circle(x, y, 10.5, fill=tint_up(det, 0.18))
        p.circle(x, y, 6, fill=tint_up(det, 0.08))
        keys[n] = (x, y, 15.5, "below")
    # Face buttons.
    x, y = face
    txt = INK if not is_dark(acc) else WHITE
    if acc == WHITE or tint_up(acc, 0) == body:
        txt = INK
    for n, dx, dy in (("Y", 0, -14.5), ("B", 14.5, 0), ("A", 0, 14.5), ("X", -14.5, 0)):
        p.circle(x + dx, y + dy, 8, fill=acc, stroke=shade(acc, 0.3), sw=1)
        p.text(x + dx, y + dy + 3, n, 8, txt)
        keys[n] = (x + dx, y + dy, 8, "right" if n == "Y" else "below")
    # SELECT, START, HOME, lights, port.
    for n, sx in (("SELECT", -1), ("START", 1)):
        p.rect(sx * 20 - 7, -38, 14, 6, 3, fill=det)
        keys[n] = (sx * 20, -35, 7, "below")
    p.circle(0, -16, 8, fill=det)
    p.circle(0, -16, 5, fill="none", stroke=acc if acc != body else tint_up(det, 0.4), sw=1.6)
    keys["HOME"] = (0, -16, 8, "below")
    for i in range(4):
        p.circle(-9 + 6 * i, -49, 1.8, fill="#7FD3FF" if i == 0 else shade(body, 0.2))
    p.rect(-9, -63, 18, 6, 2, fill="#202329")
    if mark and L.mark:
        # Sized to fit between the sticks (bold sans-serif runs about 0.68 em a letter).
        p.text(0, 5, L.mark, min(6.5, 32 / (0.68 * len(L.mark))), shade(body, 0.45) if not is_dark(body)
               else tint_up(body, 0.45))
    return {"box": (-126, -84, 126, 94 if L.opt("paddles") else 90), "port": (0, -63, "top"),
            "keys": keys}


def pad_retro(p, L, mark=True):
    body, acc = L.body, L.accent
    det = detail_colour(body)
    edge = shade(body, 0.35) if not is_dark(body) else "#15171C"
    trig = shade(body, 0.22)
    keys = {}
    for sx, n in ((-1, "L1"), (1, "R1")):
        p.rect(sx * 78 - 26, -60, 52, 18, 8, fill=trig, stroke=edge, sw=2)
        keys[n] = (sx * 78, -54, 10, "left" if sx < 0 else "right")
    p.rect(-118, -50, 236, 100, 48, fill=body, stroke=edge, sw=2.5)
    p.rect(-60, -36, 120, 72, 14, fill=shade(body, 0.08))
    x, y = -76, 2
    p.rect(x - 6, y - 19, 12, 38, 2.5, fill=det)
    p.rect(x - 19, y - 6, 38, 12, 2.5, fill=det)
    keys["UP"] = (x, y - 12, 6, "below")
    x, y = 76, 2
    txt = WHITE if is_dark(acc) else INK
    for n, dx, dy in (("Y", 0, -16), ("B", 16, 0), ("A", 0, 16), ("X", -16, 0)):
        p.circle(x + dx, y + dy, 9, fill=acc, stroke=shade(acc, 0.3), sw=1)
        p.text(x + dx, y + dy + 3.2, n, 8.5, txt)
        keys[n] = (x + dx, y + dy, 9, "right" if n == "Y" else "below")
    for n, sx in (("SELECT", -1), ("START", 1)):
        p.rect(sx * 20 - 10, 6, 20, 7, 3.5, fill=det)
        keys[n] = (sx * 20, 9.5, 8, "below")
    p.circle(0, -14, 8, fill=det)
    p.circle(0, -14, 5, fill="none", stroke=acc, sw=1.6)
    keys["HOME"] = (0, -14, 8, "below")
    for i in range(4):
        p.circle(-9 + 6 * i, -28, 1.8, fill="#7FD3FF" if i == 0 else shade(body, 0.25))
    p.rect(-9, -53, 18, 6, 2, fill="#202329")
    if mark and L.mark:
        p.text(0, 30, L.mark, 7, shade(body, 0.45) if not is_dark(body) else tint_up(body, 0.45))
    return {"box": (-120, -62, 120, 52), "port": (0, -53, "top"), "keys": keys}


def arcade_stick(p, L, mark=True):
    body, acc = L.body, L.accent
    edge = shade(body, 0.35) if not is_dark(body) else "#15171C"
    panel = shade(body, 0.12) if not is_dark(body) else tint_up(body, 0.1)
    keys = {}
    p.rect(-132, -72, 264, 144, 18, fill=body, stroke=edge, sw=2.5)
    p.rect(-120, -46, 240, 108, 12, fill=panel)
    # Function row along the top edge.
    det = detail_colour(body)
    for n, x in (("SELECT", -30), ("START", 30)):
        p.rect(x - 9, -62, 18, 7, 3.5, fill=det)
        keys[n] = (x, -58.5, 8, "below")
    p.circle(0, -58.5, 6, fill=det)
    p.circle(0, -58.5, 3.5, fill="none", stroke=acc, sw=1.4)
    keys["HOME"] = (0, -58.5, 7, "below")
    p.rect(76, -64, 12, 11, 2, fill=det)
    p.circle(82, -58.5, 3, fill=acc)
    keys["TURBO"] = (82, -58.5, 8, "below")
    p.rect(-108, -76, 18, 6, 2, fill="#202329")
    # Lever.
    p.circle(-70, 10, 28, fill=shade(panel, 0.25))
    p.circle(-70, 10, 8, fill="#1C1F26")
    p.circle(-66, 4, 17, fill=acc, stroke=shade(acc, 0.3), sw=1.2)
    p.circle(-71, -1, 5, fill=tint_up(acc, 0.45))
    # Eight buttons.
    top = [(-6, -16), (28, -24), (62, -24), (96, -20)]
    bot = [(-12, 20), (22, 12), (56, 12), (90, 16)]
    second = tint_up(acc, 0.35) if L.opt("pro") else acc
    for i, (x, y) in enumerate(top + bot):
        c = acc if i < 4 else second
        p.circle(x, y, 12, fill=shade(c, 0.3))
        p.circle(x, y - 1, 10.5, fill=c)
    if mark and L.mark:
        p.text(-70, 54, L.mark, 8, tint_up(panel, 0.55) if is_dark(panel) else shade(panel, 0.5))
    return {"box": (-134, -78, 134, 74), "port": (-99, -76, "top"), "keys": keys}


def dongle(p, L, mark=True):
    body, acc = L.body, L.accent
    shape = L.opt("shape", "stick")
    edge = shade(body, 0.35) if not is_dark(body) else "#15171C"
    half = {"stick": 60, "nub": 38, "long": 72}[shape]
    ht = 22 if shape != "nub" else 26
    left = 40 - 2 * half
    keys = {}
    # Metal plug on the right.
    p.rect(36, -14, 46, 28, 2.5, fill=METAL, stroke=shade(METAL, 0.3), sw=1.5)
    p.rect(58, -8, 8, 5, 1, fill=shade(METAL, 0.45))
    p.rect(70, -8, 8, 5, 1, fill=shade(METAL, 0.45))
    p.rect(left, -ht, 2 * half, 2 * ht, 16 if shape != "nub" else 18, fill=body, stroke=edge, sw=2.5)
    p.rect(left + 2 * half - 12, -ht + 3, 8, 2 * ht - 6, 3, fill=acc)
    bx = left + 24
    p.circle(bx, 0, 10, fill=shade(body, 0.25) if not is_dark(body) else tint_up(body, 0.18))
    p.circle(bx, 0, 7, fill=acc)
    keys["PAIR"] = (bx, 0, 10, "below")
    p.circle(bx + 20, -ht + 8, 2.6, fill="#7FD3FF")
    if mark and L.mark and shape != "nub":
        p.text(bx + 22 + (2 * half - 58) / 2, 4, L.mark, 7 if len(L.mark) < 9 else 6,
               tint_up(body, 0.5) if is_dark(body) else shade(body, 0.45))
    return {"box": (left - 2, -ht - 2, 84, ht + 2), "port": (82, 0, "right"), "keys": keys}


def puck(p, L, mark=True):
    body, acc = L.body, L.accent
    edge = shade(body, 0.35) if not is_dark(body) else "#15171C"
    keys = {}
    # Cable to the plug on the right.
    p.path("M40 10C62 10 62 0 84 0", fill="none", stroke="#3A3F48", sw=7)
    p.rect(80, -10, 20, 20, 4, fill="#3A3F48")
    p.rect(100, -9, 26, 18, 2, fill=METAL, stroke=shade(METAL, 0.3), sw=1.2)
    p.rect(-60, -48, 100, 96, 28, fill=body, stroke=edge, sw=2.5)
    p.rect(-44, 30, 68, 6, 3, fill=acc)
    p.circle(-10, -8, 18, fill=shade(body, 0.25) if not is_dark(body) else tint_up(body, 0.18))
    p.circle(-10, -8, 13, fill=acc)
    keys["PAIR"] = (-10, -8, 18, "below")
    p.circle(-10, -36, 2.6, fill="#7FD3FF")
    if mark and L.mark:
        p.text(-10, 20, L.mark, 7 if len(L.mark) < 9 else 6,
               tint_up(body, 0.5) if is_dark(body) else shade(body, 0.45))
    return {"box": (-62, -50, 128, 50), "port": (126, 0, "right"), "keys": keys}


def kit_board(p, L, mark=True):
    pcb, acc = L.body, L.accent
    mini = L.opt("mini")
    w, h = (180, 118) if mini else (232, 148)
    x0, y0 = -w / 2, -h / 2
    keys = {}
    gold = "#D9B54A"
    p.rect(x0, y0, w, h, 10, fill=pcb, stroke=shade(pcb, 0.35), sw=2.5)
    # Traces.
    tr = tint_up(pcb, 0.14)
    p.path("M%s %sH-30V-10M%s %sH30V10" % (fmt(x0 + 20), fmt(y0 + 30), fmt(-x0 - 20), fmt(-y0 - 30)),
           fill="none", stroke=tr, sw=2)
    for sx in (-1, 1):
        for sy in (-1, 1):
            p.circle(sx * (w / 2 - 12), sy * (h / 2 - 12), 6, fill=gold)
            p.circle(sx * (w / 2 - 12), sy * (h / 2 - 12), 3, fill="#EDEFF2")
    # USB-C socket on the top edge.
    p.rect(-15, y0 - 7, 30, 13, 6, fill=METAL, stroke=shade(METAL, 0.35), sw=1.2)
    p.rect(-9, y0 - 2.5, 18, 4, 2, fill="#2A2E36")
    # Chip.
    p.rect(-20, -20, 40, 40, 3, fill="#1C1F26")
    for i in range(5):
        o = -14 + 7 * i
        p.rect(o - 1.5, -25, 3, 5, 0, fill=METAL)
        p.rect(o - 1.5, 20, 3, 5, 0, fill=METAL)
        p.rect(-25, o - 1.5, 5, 3, 0, fill=METAL)
        p.rect(20, o - 1.5, 5, 3, 0, fill=METAL)
    p.circle(-13, -13, 2, fill=SLATE)
    # Header pads along the bottom.
    n = 9 if mini else 13
    for i in range(n):
        p.circle(-6 * (n - 1) + 12 * i, h / 2 - 12 if False else y0 + h - 14, 3, fill=gold)
    # Tact switches.
    names = L.opt("keys", ("BOOT", "HOME", "SELECT", "START"))
    if mini:
        spots = [(w / 2 - 36, -28), (w / 2 - 36, 8), (-w / 2 + 36, 8), (-w / 2 + 36, -28)]
    else:
        spots = [(w / 2 - 44, -38), (w / 2 - 44, 2), (-w / 2 + 44, 2), (-w / 2 + 44, -38)]
    for (x, y), name in zip(spots, names):
        p.rect(x - 9, y - 9, 18, 18, 2, fill=METAL, stroke=shade(METAL, 0.35), sw=1)
        p.circle(x, y, 5.5, fill="#1C1F26")
        p.text(x, y + 19, name, 6.5, "#F4F5F7")
        keys[name] = (x, y, 11, "left" if x < 0 else "right")
    p.circle(22, y0 + 14, 3, fill="#6BE39A")
    p.rect(28, y0 + 11, 8, 6, 1, fill="#E8E1C9")
    if L.opt("antenna"):
        p.path("M44 34l6 -8l6 8l6 -8l6 8l6 -8", fill="none",
               stroke=gold, sw=2)
    if mark and L.mark:
        p.text(0, 40 if not mini else 34, L.mark, 10, "#F4F5F7")
        if not mini:
            p.text(0, 50, "FENWYK", 6, tint_up(pcb, 0.5), weight="normal")
    return {"box": (x0 - 2, y0 - 8, -x0 + 2, -y0 + 2), "port": (0, y0 - 7, "top"), "keys": keys}


FAMILIES = {
    "pad": pad_modern,
    "retro": pad_retro,
    "stick": arcade_stick,
    "dongle": dongle,
    "puck": puck,
    "kit": kit_board,
}


def measure(L, mark=True):
    return FAMILIES[L.family](Pen(1, 1), L, mark)


def place(p, L, x, y, w, h, mark=True):
    """Draws a device fitted and centred in the box; returns (info, transform function)."""
    info = measure(L, mark)
    bx0, by0, bx1, by1 = info["box"]
    s = min(w / (bx1 - bx0), h / (by1 - by0))
    tx = x + w / 2 - s * (bx0 + bx1) / 2
    ty = y + h / 2 - s * (by0 + by1) / 2
    p.open("translate(%s %s) scale(%s)" % (fmt(tx), fmt(ty), fmt(round(s, 4))))
    FAMILIES[L.family](p, L, mark)
    p.close()

    def to(px, py):
        return tx + s * px, ty + s * py

    return info, to, s


# ---------------------------------------------------------------- catalogue pictures


def chooser(L, pressed):
    p = Pen(300, 200, pressed_tint if pressed else None)
    if pressed:
        p.rect(4, 4, 292, 192, 18, fill="#2F6FD6", fo=0.14)
    place(p, L, 24, 22, 252, 156)
    return p.svg()


def mini(L):
    p = Pen(110, 90)
    place(p, L, 6, 8, 98, 74, mark=False)
    return p.svg()


# ---------------------------------------------------------------- guide pictures


def tag_width(label):
    return 12 + 8 * len(label)


def tag(p, x, y, label):
    w = tag_width(label)
    p.rect(x - w / 2, y - 10, w, 20, 10, fill=HOLD, stroke="#FFFFFF", sw=1.5)
    p.text(x, y + 4.5, label, 12, "#FFFFFF")
    return w


def computer(p, port_y):
    """The side of a computer with one USB port, at the right edge."""
    p.rect(472, port_y - 92, 90, 184, 14, fill="#D5DAE1", stroke="#A9B1BC", sw=2)
    for i in range(5):
        p.rect(500, port_y - 70 + 10 * i, 40, 4, 2, fill="#BCC3CD")
    p.rect(468, port_y - 14, 22, 28, 3, fill="#2B2F38")
    p.rect(472, port_y - 9, 16, 7, 1, fill="#8D96A3")


def plug_in(p, x, y):
    """A USB plug at (x, y) pointing right, with an arrow into the port."""
    p.rect(x - 28, y - 12, 30, 24, 5, fill="#3A3F48")
    p.rect(x + 2, y - 10, 24, 20, 2, fill=METAL, stroke=shade(METAL, 0.3), sw=1.2)
    p.rect(x + 10, y - 5, 5, 4, 1, fill=shade(METAL, 0.45))
    p.rect(x + 18, y - 5, 5, 4, 1, fill=shade(METAL, 0.45))
    ay = y - 30
    p.path("M%s %sH%s" % (fmt(x - 12), fmt(ay), fmt(x + 26)), fill="none", stroke=HOLD, sw=5)
    p.path("M%s %sl-12 -9v18z" % (fmt(x + 40), fmt(ay)), fill=HOLD)


def highlight(p, cx, cy, r):
    # A ring with a soft halo outside it; the button itself stays visible.
    p.circle(cx, cy, r + 6.5, fill="none", stroke=HOLD, sw=6, so=0.3)
    p.circle(cx, cy, r + 3.5, fill="none", stroke=HOLD, sw=3)


def guide(L, held, port_y=150, sub=False):
    """The device on the left, its held buttons ringed and labelled, and its USB cable
    (or its own plug) going into the computer on the right."""
    p = Pen(550, 260)
    fam = L.family
    if fam in ("dongle", "puck"):
        box = (40, 60, 330, 150) if fam == "dongle" else (60, 40, 330, 170)
    elif fam == "stick":
        box = (36, 46, 300, 162)
    elif fam == "kit":
        box = (76, 46, 270, 168)
    else:
        box = (40, 44, 300, 170)
    info = measure(L)
    bx0, by0, bx1, by1 = info["box"]
    s = min(box[2] / (bx1 - bx0), box[3] / (by1 - by0))
    # Port height on the computer: level with the plug for receivers, else mid-height.
    if fam in ("dongle", "puck"):
        py = box[1] + box[3] / 2 - s * (by0 + by1) / 2 + s * info["port"][1]
        port_y = py
    computer(p, port_y)
    # Cable first, so the device covers its end.
    if info["port"][2] == "top":
        tx = box[0] + box[2] / 2 - s * (bx0 + bx1) / 2
        ty = box[1] + box[3] / 2 - s * (by0 + by1) / 2
        px, pyy = tx + s * info["port"][0], ty + s * info["port"][1]
        top = 22
        p.path("M%s %sV%sQ%s %s %s %sH%sQ%s %s %s %sV%sQ%s %s %s %s" % (
            fmt(px), fmt(pyy + 4), fmt(top + 14), fmt(px), fmt(top), fmt(px + 14), fmt(top),
            fmt(392), fmt(406), fmt(top), fmt(406), fmt(top + 14), fmt(port_y - 14),
            fmt(406), fmt(port_y), fmt(420), fmt(port_y)),
            fill="none", stroke="#3A3F48", sw=6)
        p.rect(px - 7, pyy - 12, 14, 14, 3, fill="#3A3F48")
        plug_in(p, 440, port_y)
    info, to, s = place(p, L, *box)
    if info["port"][2] == "right":
        ex, ey = to(info["port"][0], info["port"][1])
        ay = ey - 40
        p.path("M%s %sH%s" % (fmt(ex + 16), fmt(ay), fmt(452)), fill="none", stroke=HOLD, sw=5)
        p.path("M%s %sl-12 -9v18z" % (fmt(466), fmt(ay)), fill=HOLD)
    # Highlights, then labels beside or below the device.
    below = []
    for name in held:
        x, y, r, side = info["keys"][name]
        cx, cy = to(x, y)
        rr = r * s
        highlight(p, cx, cy, rr)
        if side in ("left", "right"):
            edge = to(info["box"][0] if side == "left" else info["box"][2], 0)[0]
            lx = edge - 30 if side == "left" else edge + 30
            lx = max(tag_width(name) / 2 + 2, lx)
            p.line(cx + (rr + 4) * (-1 if side == "left" else 1), cy, lx, cy, HOLD, 2)
            tag(p, lx, cy, name)
        else:
            below.append((cx, cy, rr, name))
    below.sort()
    ly = 240
    last = -1e9
    slots = []
    for cx, cy, rr, name in below:
        w = tag_width(name)
        x = max(cx, last + 18 + w / 2)
        slots.append((x, cx, cy, rr, name))
        last = x + w / 2
    for x, cx, cy, rr, name in slots:
        p.path("M%s %sL%s %s" % (fmt(cx), fmt(cy + rr + 4), fmt(x), fmt(ly - 10)), fill="none",
               stroke=HOLD, sw=2)
    for x, cx, cy, rr, name in slots:
        tag(p, x, ly, name)
    return p.svg()


def guide_sub(L):
    """Close-up of the top edge of a pad with L1 and R1 held (type 1's second picture)."""
    p = Pen(320, 100)
    body = L.body
    edge = shade(body, 0.35)
    trig = shade(body, 0.22)
    for sx in (-1, 1):
        p.rect(160 + sx * 92 - 30, 6, 60, 36, 9, fill=shade(trig, 0.12), stroke=edge, sw=2)
        p.rect(160 + sx * 96 - 38, 30, 76, 24, 10, fill=trig, stroke=edge, sw=2)
    # The pad's top half only, with its lower corners rounded inside the frame.
    p.rect(14, 46, 292, 50, 22, fill=body, stroke=edge, sw=2.5)
    p.rect(146, 43, 28, 9, 3, fill="#202329")
    p.path("M160 44V6", fill="none", stroke="#3A3F48", sw=6)
    p.text(160 - 92, 20, "L2", 9, shade(trig, 0.55))
    p.text(160 + 92, 20, "R2", 9, shade(trig, 0.55))
    for sx, n in ((-1, "L1"), (1, "R1")):
        cx = 160 + sx * 96
        highlight(p, cx, 42, 12)
        tag(p, cx, 76, n)
    return p.svg()


# ---------------------------------------------------------------- fixed pictures


def usb_picture():
    p = Pen(200, 120)
    p.path("M20 0C20 30 100 10 100 34", fill="none", stroke="#3A3F48", sw=7)
    p.rect(84, 30, 32, 34, 6, fill="#3A3F48")
    p.rect(88, 64, 24, 30, 2, fill=METAL, stroke=shade(METAL, 0.3), sw=1.5)
    p.rect(93, 80, 5, 5, 1, fill=shade(METAL, 0.45))
    p.rect(102, 80, 5, 5, 1, fill=shade(METAL, 0.45))
    p.rect(0, 106, 200, 14, 4, fill="#D5DAE1")
    p.rect(84, 104, 32, 12, 2, fill="#2B2F38")
    p.rect(88, 108, 24, 4, 1, fill="#8D96A3")
    return p.svg()


def usb_arrow():
    p = Pen(24, 24)
    p.path("M12 21L3 11H8.5V3H15.5V11H21Z", fill=ARROW)
    return p.svg()


def update_button(pressed):
    p = Pen(64, 64)
    p.circle(32, 32, 30, fill="#1F5FB8" if pressed else ARROW)
    p.path("M28 12H36V30H44L32 43L20 30H28Z", fill="#FFFFFF")
    p.path("M16 42V50H48V42", fill="none", stroke="#FFFFFF", sw=4)
    p.path("M46 10L40 20H45L41 28L50 17H45L49 10Z", fill="#FFD34D")
    return p.svg()


def checkbox(kind):
    p = Pen(20, 20)
    if kind == "nomal":
        p.rect(2, 2, 16, 16, 3, fill="#FFFFFF", stroke="#9AA3AF", sw=1.5)
    elif kind == "highlight":
        p.rect(2, 2, 16, 16, 3, fill="#EAF2FD", stroke=ARROW, sw=1.5)
    else:
        p.rect(2, 2, 16, 16, 3, fill=ARROW, stroke=ARROW, sw=1.5)
        p.path("M5.5 10.5L8.7 13.7L14.8 6.8", fill="none", stroke="#FFFFFF", sw=2.2)
    return p.svg()


def back():
    p = Pen(30, 30)
    p.circle(15, 15, 13.5, fill="#FFFFFF", stroke="#8C95A3", sw=1.5)
    p.path("M17.5 8.5L11 15L17.5 21.5", fill="none", stroke="#3B4150", sw=2.6)
    return p.svg()


def app_icon():
    p = Pen(256, 256)
    p.rect(8, 8, 240, 240, 56, fill=NAVY)
    L = Look("pad", WHITE, SKY, "")
    place(p, L, 28, 84, 200, 140, mark=False)
    p.path("M150 14L96 112H128L106 196L178 86H144L170 14Z", fill="#FFB020", stroke=NAVY, sw=6)
    return p.svg()


# ---------------------------------------------------------------- guide table

# picture: (look, held buttons). Which rows share a picture, and which texts go with each,
# is the guide table's business; the texts in guide_*.ts name the same buttons.
GUIDES = {
    "guide_1": ("sparrow", ["L1", "R1"]),
    "guide_4": ("puffin", ["START", "B"]),
    "guide_9": ("gannet", ["START", "B"]),
    "guide_13": ("heron_pro", ["START", "B"]),
    "guide_2": ("dove", ["SELECT", "A"]),
    "guide_2_F": ("dove_f2", ["SELECT", "A"]),
    "guide_3": ("pipit", ["SELECT", "A"]),
    "guide_10": ("auk", ["SELECT", "A"]),
    "guide_57": ("vireo_duo", ["SELECT", "A"]),
    "guide_60": ("vireo_se", ["SELECT", "A"]),
    "guide_6": ("shrike", ["PAIR"]),
    "guide_22": ("magpie", ["PAIR"]),
    "guide_59": ("vireo_pro", ["PAIR"]),
    "guide_7": ("nightjar", ["PAIR"]),
    "guide_7_F": ("nightjar_f1", ["PAIR"]),
    "guide_8": ("albatross", ["PAIR"]),
    "guide_14": ("osprey", ["L1", "START"]),
    "guide_15": ("osprey_lite", ["R1", "SELECT"]),
    "guide_16": ("osprey_se", ["Y", "START"]),
    "guide_24": ("finch", ["B", "HOME"]),
    "guide_27": ("condor_pro", ["M1", "M2"]),
    "guide_26": ("condor", ["R1", "SELECT"]),
    "guide_20": ("crane_lite", ["SELECT", "HOME"]),
    "guide_23": ("lark_mod_kit", ["BOOT"]),
    "guide_25": ("finch_wireless", ["SELECT", "START"]),
    "guide_33": ("kestrel_arcade_stick", ["SELECT", "START"]),
    "guide_28": ("condor_se", ["A", "B"]),
    "guide_30": ("robin", ["L1", "HOME"]),
    "guide_31": ("robin_pro", ["R1", "HOME"]),
    "guide_51": ("bolt_duo_mod_kit", ["BOOT"]),
    "guide_34": ("kestrel_pro_arcade_stick", ["TURBO"]),
    "guide_35": ("robin_lite", ["L1", "HOME"]),
    "guide_11": ("bridge_adapter", ["PAIR"]),
    "guide_21": ("swift_receiver", ["PAIR"]),
    "guide_42": ("summit_adapter", ["PAIR"]),
    "guide_44": ("summit_24g_adapter", ["PAIR"]),
    # The receivers that ship with Summit Pad (48), Bolt Duo (51) and Vireo Duo (57), as the update
    # screen draws them.
    "guide_49": ("receiver_48", ["PAIR"]),
    "guide_52": ("receiver_default", ["PAIR"]),
    "guide_58": ("receiver_57", ["PAIR"]),
    "guide_53": ("bolt_mod_kit", ["SELECT", "START"]),
    "guide_54": ("bolt_mini_mod_kit", ["BOOT"]),
    "guide_55": ("vireo", ["SELECT", "A"]),
    "guide_36": ("tern", ["SELECT", "START"]),
    "guide_40": ("crane_wireless", ["SELECT", "START"]),
    "guide_45": ("condor_lite", ["SELECT", "START"]),
    "guide_50": ("bolt_pro_mod_kit", ["SELECT", "START"]),
    "guide_37": ("tern_pro", ["SELECT", "START"]),
    "guide_41": ("crane_duo", ["HOME"]),
    "guide_48": ("summit_pad", ["HOME"]),
}


def look(name):
    return LOOKS.get(name) or EXTRA_LOOKS[name]


def catalogue_names():
    with open(PLIST, "rb") as f:
        entries = plistlib.load(f)
    out = []
    for e in entries:
        out.append((e["miniImageName"], e["moreImage"], e["moreImagehighlight"]))
    return out


def pictures():
    pics = {}
    for mini_name, more, more_h in catalogue_names():
        slug = more[len("more_"):]
        if slug not in LOOKS:
            sys.exit("no look for catalogue picture %s" % more)
        L = LOOKS[slug]
        pics[more] = chooser(L, False)
        pics[more_h] = chooser(L, True)
        pics[mini_name] = mini(L)
    for name in ("device_default", "receiver_default", "receiver_48", "receiver_57"):
        pics[name] = mini(EXTRA_LOOKS[name])
    for name, (who, held) in GUIDES.items():
        pics[name] = guide(look(who), held)
    pics["guide_1_sub"] = guide_sub(LOOKS["sparrow"])
    pics["usb"] = usb_picture()
    pics["usb_arrow"] = usb_arrow()
    pics["updateButton_normal"] = update_button(False)
    pics["updateButton_highlight"] = update_button(True)
    for kind in ("nomal", "highlight", "selected"):
        pics["checkbox_" + kind] = checkbox(kind)
    pics["back"] = back()
    pics["flashwell"] = app_icon()
    return pics


def main():
    os.makedirs(OUT, exist_ok=True)
    pics = pictures()
    stale = [f for f in os.listdir(OUT) if f.endswith(".svg") and f[:-4] not in pics]
    for f in stale:
        os.remove(os.path.join(OUT, f))
    for name, svg in sorted(pics.items()):
        with open(os.path.join(OUT, name + ".svg"), "w", encoding="utf-8") as f:
            f.write(svg)
    print("wrote %d pictures to %s" % (len(pics), os.path.relpath(OUT, ROOT)))


if __name__ == "__main__":
    main()
