"""What the window must never do: write firmware nobody asked for, or let the keyboard reach a
screen that another one covers."""

import time
import unittest

import flows
import harness
from harness import Demo, tr, wait_for

class Safety(unittest.TestCase):
    def test_a_device_back_in_update_mode_is_not_written_without_a_press(self):
        with Demo(harness.desktop(), devices=1) as demo:
            device = flows.lab_devices(demo)[0]
            flows.device_line(demo, "1.00")
            flows.open_offer(demo)  # the offer is up; nobody has pressed anything
            flows.plug(demo, device, "labBootloader")
            # The bootloader is seen (the Lab marks it), then nothing may start writing: watch for
            # long enough that a version query, its answer and a first data report would all be
            # through on the demo's 1 ms bus.
            wait_for(lambda: flows.lab_item_enabled(demo, device, "labBootloader") is False,
                     "the device in its update mode")
            self.watch_nothing_written(demo)

    def test_a_device_plugged_in_update_mode_is_not_written_without_a_press(self):
        with Demo(harness.desktop(), devices=0) as demo:
            device = flows.lab_devices(demo)[0]
            flows.home_help(demo)
            flows.plug(demo, device, "labBootloader")
            # A device in update mode brings up the chooser; its product opens the update screen.
            wait_for(lambda: flows.chooser_buttons(demo), "the chooser")
            product = next(p for p in harness.chooser_products() if device.startswith(p["name"]))
            demo.press(flows.chooser_button(demo, harness.chooser_label(product["name"])))
            demo.wait(None, tr("updateDevicePicture").replace("%1", product["name"]))
            self.watch_nothing_written(demo)

    def watch_nothing_written(self, demo):
        # Long enough for a version query, its answer and the first data reports on the demo's
        # 1 ms bus: absence is the behaviour here, so this one watches for a fixed time.
        deadline = time.monotonic() + 4
        while time.monotonic() < deadline:
            self.assertIsNone(flows.writing(demo), "firmware is being written without a press")
            self.assertIsNone(demo.find("push button", tr("success")), "firmware was written without a press")
            time.sleep(0.1)

    def test_tab_never_reaches_a_covered_screen(self):
        with Demo(harness.desktop(), devices=1) as demo:
            flows.device_line(demo, "1.00")
            flows.open_offer(demo)
            # The home screen's button lies under the offer now.
            covered = {tr("firmwareUpdate")}
            reached = []
            for _ in range(12):
                before = flows.focused_name(demo)
                demo.keys("Tab")
                wait_for(lambda: flows.focused_name(demo) not in (before, None), "the focus to move")
                reached.append(flows.focused_name(demo))
            self.assertFalse(covered & set(reached), "Tab reached the covered home screen: %r" % reached)


if __name__ == "__main__":
    harness.main()
