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


def top_window(demo, role):
    """The newest showing top-level window of that role (a dialog in front of the main one)."""
    found = None
    for i in range(demo.app.childCount):
        child = demo.app.getChildAtIndex(i)
        if child is not None and harness.role_name(child) == role and harness.showing(child):
            found = child
    return found


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
        # The home line first, before the offer covers it: plug the device again for the offer.
        shoot(demo, folder, "home")
        flows.open_offer(demo)
        shoot(demo, folder, "offer")
        # The release list and one release's notes.
        demo.press(demo.find("push button", t("other")))
        notes = demo.wait("push button", harness.startswith(t("log")))
        shoot(demo, folder, "releases")
        demo.press(notes)
        dialog = wait_for(lambda: top_window(demo, "dialog") or top_window(demo, "frame") != demo.window
                          and top_window(demo, "frame"), "the release notes window")
        shoot(demo, folder, "release-notes", dialog)
        demo.press(demo.wait("push button", t("sure"), root=dialog))
        # Writing, held half-way by a dropped reply, then the guide once the watchdog gives up.
        flows.arm_fault(demo, "labFaultDrop")
        demo.press(demo.wait(None, harness.startswith(t("updateCheckboxHint"))))
        demo.press(demo.wait("push button", t("update")))
        wait_for(lambda: flows.writing(demo), "the writing", timeout=flows.UPDATE_TIMEOUT)
        wait_for(lambda: int(flows.writing(demo).name.split("%")[0]) >= 40, "40 %", timeout=flows.UPDATE_TIMEOUT)
        shoot(demo, folder, "writing")
        flows.guide_error(demo, timeout=35)
        shoot(demo, folder, "error-guide")
        flows.plug(demo, device, "labBootloader")
        done = flows.wait_success(demo)
        shoot(demo, folder, "success")
        demo.press(done)
        flows.device_line(demo, "1.10")
        demo.menu(t("appMenu"), t("historyMenu"))
        history = wait_for(lambda: top_window(demo, "dialog"), "the history window")
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
        for lang in ("en_US.UTF-8", "zh_CN.UTF-8"):
            render(folder, lang)
    finally:
        harness.stop_desktop()


if __name__ == "__main__":
    main()
