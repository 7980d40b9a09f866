"""Renders every screen of the window, in English and Chinese, from the running demo.

    FLASHWELL_DEMO=build/test/sim/flashwell-demo python3 tests/e2e/screenshots.py docs/screenshots

Drives the demo through the accessibility tree on a private X display, as the window tests do,
and saves the window (or the dialog in front) as PNG files named SCREEN[-zh_CN].png.
"""

import os
import sys

import flows
import harness
from harness import Demo, tr, wait_for


def front_window(demo):
    """The newest showing top-level window besides the main one (a dialog in front of it)."""
    found = None
    for i in range(1, demo.app.childCount):
        child = demo.app.getChildAtIndex(i)
        if child is not None and harness.showing(child):
            found = child
    return found


def open_release_list(demo):
    """The home screen's update button, pressed again while it has not opened the update screen
    (a press through the tree just after coming home is sometimes lost); returns a Notes button."""
    picture = harness.startswith(tr("updateDevicePicture", demo.lang).replace("%1", ""))

    def attempt():
        notes = demo.find("push button", lambda n: n.startswith(tr("log", demo.lang)) and "1.10" in n)
        if notes is None and demo.find(None, picture) is None:
            demo.press(flows.home_update_button(demo))
        return notes

    return wait_for(attempt, "the release list", interval=1.0)


def shoot(demo, folder, name, window=None):
    suffix = "" if demo.lang == "en" else "-" + demo.lang
    path = os.path.join(folder, "%s%s.png" % (name, suffix))
    demo.screenshot(path, window)
    print(path)


def render(folder, lang):
    with Demo(harness.desktop(), devices=1, lang=lang) as demo:
        t = lambda key: tr(key, demo.lang)  # noqa: E731
        device = flows.lab_devices(demo)[0]
        flows.device_line(demo, "1.00")
        flows.open_offer(demo)
        shoot(demo, folder, "offer")
        # The release list and one release's notes.
        demo.press(demo.wait("push button", t("back")))
        notes = open_release_list(demo)
        shoot(demo, folder, "releases")
        demo.press(notes)
        dialog = wait_for(lambda: front_window(demo), "the release notes window")
        shoot(demo, folder, "release-notes", dialog)
        demo.press(demo.wait("push button", None, root=dialog))
        # Writing, held half-way by a dropped reply, then the guide once the watchdog gives up.
        flows.arm_fault(demo, "labFaultDrop")
        # The newest release is ticked already.
        demo.press(demo.wait("push button", t("update")))
        try:
            wait_for(lambda: flows.writing(demo), "the writing", timeout=flows.UPDATE_TIMEOUT)
        except harness.Failure as e:
            raise harness.Failure("%s; the window shows %r" % (e, demo.texts())) from None
        wait_for(lambda: (flows.progress(demo) or 0) >= 40, "40 %", timeout=flows.UPDATE_TIMEOUT)
        shoot(demo, folder, "writing")
        flows.guide_error(demo, timeout=35)
        shoot(demo, folder, "error-guide")
    # A second run for a clean update from the offer to the end.
    with Demo(harness.desktop(), devices=1, lang=lang) as demo:
        t = lambda key: tr(key, demo.lang)  # noqa: E731
        device = flows.lab_devices(demo)[0]
        flows.device_line(demo, "1.00")
        demo.press(flows.open_offer(demo))
        done = flows.wait_success(demo)
        shoot(demo, folder, "success")
        demo.press(done)
        demo.wait_gone("push button", t("success"))
        flows.device_line(demo, "1.10")
        shoot(demo, folder, "home")
        demo.menu(t("appMenu"), t("historyMenu"))
        history = wait_for(lambda: front_window(demo), "the history window")
        shoot(demo, folder, "history", history)
        demo.press(demo.wait("push button", t("historyClose"), root=history))
        flows.plug(demo, device, "labUnplug")
        flows.home_help(demo)
        shoot(demo, folder, "home-empty")
        demo.menu(t("appMenu"), t("Update Manually"))
        wait_for(lambda: flows.chooser_buttons(demo), "the chooser")
        shoot(demo, folder, "chooser")


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "docs/screenshots"
    os.makedirs(folder, exist_ok=True)
    harness.start_desktop()
    try:
        for lang in sys.argv[2:] or ("en_US.UTF-8", "zh_CN.UTF-8"):
            render(folder, lang)
    finally:
        harness.stop_desktop()


if __name__ == "__main__":
    main()
