"""Updates through the window: pressing buttons in the accessibility tree, or with the keyboard."""

import unittest

import flows
import harness
from harness import Demo, tr, wait_for


# The lab's HJZ bootloader has no normal mode to come back as after its reset: that device ends
# its update gone from the bus, so its home line cannot show the new version.
NO_RETURN_AFTER_UPDATE = {"Fenwyk Grebe"}


class Update(unittest.TestCase):
    def test_each_demo_device_by_pressing_update(self):
        with Demo(harness.desktop(), devices=0) as demo:
            devices = flows.lab_devices(demo)
            self.assertGreaterEqual(len(devices), 3, devices)
            # The one that does not come back goes last: its bootloader stays on the bus.
            devices.sort(key=lambda d: d in NO_RETURN_AFTER_UPDATE)
            for device in devices:
                with self.subTest(device=device):
                    flows.plug(demo, device)
                    seen = flows.update_attached_device(demo, comes_back=device not in NO_RETURN_AFTER_UPDATE)
                    # The success screen says which version the device now runs.
                    self.assertTrue(any("1.10" in text for text in seen), seen)
                    flows.plug(demo, device, "labUnplug")
                    flows.home_help(demo)

    def test_keyboard_only(self):
        with Demo(harness.desktop(), devices=1) as demo:
            flows.device_line(demo, "1.00")
            update = flows.open_offer(demo)
            # Tab reaches the offer's Update button in a few steps, each on a named control.
            path = []
            for _ in range(6):
                demo.keys("Tab")
                node = wait_for(lambda: demo.focused(), "a focused control")
                path.append(node.name)
                self.assertTrue(node.name, "Tab reached a control without a name")
                if flows.focus_is(demo, update):
                    break
            self.assertTrue(flows.focus_is(demo, update), "Tab never reached Update: %r" % path)
            demo.keys("space")
            # The button keeps the focus while it writes and when it reports success.
            wait_for(lambda: flows.writing(demo) or demo.find("push button", tr("success")), "the writing")
            done = flows.wait_success(demo)
            wait_for(lambda: flows.focus_is(demo, done), "focus on %r" % done.name)
            demo.keys("space")
            demo.wait_gone("push button", tr("success"))
            flows.device_line(demo, "1.10")
            # Back home the focus is on the home screen's own button.
            home = flows.home_update_button(demo)
            wait_for(lambda: demo.focused() is not None and flows.focus_is(demo, home),
                     "focus on the home screen's button, not %r" % flows.focused_name(demo))

    def test_dropped_reply_fails_within_the_watchdog(self):
        with Demo(harness.desktop(), devices=1) as demo:
            self.stall(demo)

    def test_a_replug_in_update_mode_restarts_the_failed_attempt(self):
        with Demo(harness.desktop(), devices=1) as demo:
            device = self.stall(demo)
            # Unplugged and back in its update mode: the same update runs again, to the end.
            flows.plug(demo, device, "labUnplug")
            flows.plug(demo, device, "labBootloader")
            demo.press(flows.wait_success(demo))
            flows.device_line(demo, "1.10")

    def stall(self, demo):
        """An update whose device stops answering half-way, up to the guide's error form."""
        device = flows.lab_devices(demo)[0]
        flows.arm_fault(demo, "labFaultDrop")
        flows.device_line(demo, "1.00")
        demo.press(flows.open_offer(demo))
        wait_for(lambda: flows.writing(demo), "the writing to start", timeout=flows.UPDATE_TIMEOUT)
        # No sign of life for 20 s ends the update; the watchdog looks every 3 s.
        flows.guide_error(demo, timeout=20 + 3 + 10)
        self.assertIsNone(demo.find("push button", tr("success")))
        return device

    def test_quitting_while_writing_asks_and_cancel_keeps_writing(self):
        with Demo(harness.desktop(), devices=1) as demo:
            flows.device_line(demo, "1.00")
            flows.arm_fault(demo, "labFaultDrop")  # holds the writing half-way while we ask
            demo.press(flows.open_offer(demo))
            wait_for(lambda: flows.writing(demo), "the writing to start", timeout=flows.UPDATE_TIMEOUT)
            demo.menu(tr("appMenu"), tr("quit"))
            question = demo.wait("push button", tr("stopUpdate"))
            self.assertIsNotNone(demo.find(None, tr("stopUpdateTitle")))
            demo.press(demo.find("push button", tr("cancel")))
            demo.wait_gone("push button", tr("stopUpdate"))
            del question
            # Still running, still writing.
            self.assertIsNone(demo.proc.poll())
            self.assertIsNotNone(flows.writing(demo))


if __name__ == "__main__":
    harness.main()
