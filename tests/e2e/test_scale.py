"""The window at every scale: the same layout, scaled, and no text cut off."""

import os
import unittest

import flows
import harness
from harness import Demo, tr, wait_for

SCALES = (1.0, 1.5, 2.0)
SHOTS = os.environ.get("FLASHWELL_E2E_SHOTS", "")


def layout(demo):
    """Where each named, showing control sits in the window, in device-independent pixels (which
    is what the tree reports): {(role, name): (x, y, w, h)}."""
    origin = demo.window.queryComponent().getExtents(harness.pyatspi.WINDOW_COORDS)
    out = {}
    for node in harness.walk(demo.app):
        role = harness.role_name(node)
        if not node.name or role in ("menu", "menu item", "menu bar", "filler", "panel", "scroll bar"):
            continue
        e = node.queryComponent().getExtents(harness.pyatspi.WINDOW_COORDS)
        out.setdefault((role, node.name), (e.x - origin.x, e.y - origin.y, e.width, e.height))
    return out


def clipped_texts(demo):
    """Labels whose text runs past their own edges."""
    bad = []
    for node in harness.walk(demo.app):
        if harness.role_name(node) != "label":
            continue
        try:
            text = node.queryText()
        except NotImplementedError:
            continue
        n = text.characterCount
        if n == 0:
            continue
        box = node.queryComponent().getExtents(harness.pyatspi.DESKTOP_COORDS)
        for i in (0, n - 1):
            c = text.getCharacterExtents(i, harness.pyatspi.DESKTOP_COORDS)
            if c.width <= 0 and c.height <= 0:
                continue
            if c.x < box.x - 1 or c.y < box.y - 1 or c.x + c.width > box.x + box.width + 1 \
                    or c.y + c.height > box.y + box.height + 1:
                bad.append(text.getText(0, n))
                break
    return bad


class Scale(unittest.TestCase):
    def screens(self, scale):
        """Each screen's layout and clipped texts at one scale, with a screenshot of each."""
        seen = {}
        with Demo(harness.desktop(), devices=0, scale=scale) as demo:
            def visit(name):
                seen[name] = (layout(demo), clipped_texts(demo))
                if SHOTS and "DISPLAY" in demo.desktop.env:
                    os.makedirs(SHOTS, exist_ok=True)
                    demo.screenshot(os.path.join(SHOTS, "%s@%sx.png" % (name, scale)))

            flows.home_help(demo)
            wait_for(lambda: demo.find("label", tr("usbHint")), "the USB hint")
            visit("home-empty")
            demo.menu(tr("appMenu"), tr("Update Manually"))
            wait_for(lambda: flows.chooser_buttons(demo), "the chooser")
            visit("chooser")
            demo.press(demo.wait("push button", tr("back")))
            demo.wait_gone("push button", tr("back"))
            flows.plug(demo, flows.lab_devices(demo)[0])
            flows.device_line(demo, "1.00")
            flows.open_offer(demo)
            visit("offer")
        return seen

    def test_screens_keep_their_layout_at_every_scale(self):
        base = self.screens(SCALES[0])
        for screen, (_, clipped) in base.items():
            with self.subTest(screen=screen, scale=SCALES[0]):
                self.assertEqual(clipped, [], "text cut off")
        for scale in SCALES[1:]:
            scaled = self.screens(scale)
            for screen, (controls, clipped) in scaled.items():
                with self.subTest(screen=screen, scale=scale):
                    self.assertEqual(clipped, [], "text cut off")
                    moved = []
                    for key, (x, y, w, h) in base[screen][0].items():
                        if key not in controls:
                            continue
                        sx, sy, sw, sh = controls[key]
                        # The same layout in device-independent pixels; rounding moves a pixel or two.
                        tolerance = 2
                        if any(abs(a - b) > tolerance for a, b in ((x, sx), (y, sy), (w, sw), (h, sh))):
                            moved.append((key, (x, y, w, h), (sx, sy, sw, sh)))
                    self.assertEqual(moved, [], "controls not where the scaled layout puts them")
                    self.assertGreaterEqual(len(set(base[screen][0]) & set(controls)), 3)


if __name__ == "__main__":
    harness.main()
