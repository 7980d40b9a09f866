"""What a person does with the demo window, step by step, shared by the window tests."""

import harness
from harness import Failure, contains, startswith, tr, wait_for

UPDATE_TIMEOUT = 60.0  # a whole update on the demo's real-time bus, download included


def _menu(demo, name, root=None):
    for node in harness.walk(root or demo.window, only_showing=False):
        if harness.role_name(node) in ("menu", "menu item") and node.name == name:
            return node
    return None


def lab_devices(demo):
    """The names of the demo's virtual devices, as the Lab menu lists them."""
    lab = _menu(demo, tr("labMenu", demo.lang))
    if lab is None:
        raise Failure("the demo has no Lab menu")
    names = []
    for node in harness.walk(lab, only_showing=False):
        if harness.role_name(node) in ("menu", "menu item") and node.childCount > 0 \
                and node.name != tr("labFault", demo.lang):
            names.append(node.name)
    return names


def plug(demo, device, how="labPlug"):
    """Plugs, unplugs or re-plugs a demo device from the Lab menu, once its item is usable (the
    menu follows the device's arrivals and departures)."""
    wait_for(lambda: lab_item_enabled(demo, device, how), "the Lab's %r for %s" % (tr(how, demo.lang), device))
    demo.menu(tr("labMenu", demo.lang), device, tr(how, demo.lang))


def lab_item_enabled(demo, device, key):
    """Whether the Lab menu's item for that device is usable now (it follows the device's state)."""
    menu = _menu(demo, device)
    item = _menu(demo, tr(key, demo.lang), menu) if menu is not None else None
    return None if item is None else item.getState().contains(harness.pyatspi.STATE_ENABLED)


def focused_name(demo):
    node = demo.focused()
    return node.name if node is not None else None


def arm_fault(demo, key):
    demo.menu(tr("labMenu", demo.lang), tr("labFault", demo.lang), tr(key, demo.lang))


def device_line(demo, version):
    """The attached device at that version: its line on the home screen ("… V1.00 …", a button that
    opens it), or, when a newer release opened the offer over the home screen (which hides it), the
    offer's hint line, which starts from the device's version."""
    hint = tr("willUpdateFirmwaer", demo.lang) + version
    return demo.wait(None, lambda name: bool(name) and ((" V%s " % version) in name or name.startswith(hint)))


def home_update_button(demo):
    return demo.wait("push button", tr("firmwareUpdate", demo.lang))


def home_help(demo):
    """The home screen with nothing attached: its help button."""
    return demo.wait("push button", tr("helpButton", demo.lang))


def focus_is(demo, acc):
    """Whether acc has the keyboard focus now."""
    return acc.getState().contains(harness.pyatspi.STATE_FOCUSED)


def chooser_buttons(demo):
    """The chooser's product buttons in grid order, those scrolled out of sight included."""
    title = demo.find("label", tr("chooseProduct", demo.lang))
    if title is None:
        return []
    chooser = title.parent
    return [n for n in harness.walk(chooser, only_showing=False) if harness.role_name(n) == "push button"
            and n.name and n.getState().contains(harness.pyatspi.STATE_VISIBLE)]


def chooser_button(demo, label):
    return next((b for b in chooser_buttons(demo) if b.name == label), None)


def open_offer(demo):
    """The update screen offering the newer release, as it opens by itself for a device that has
    one; returns its Update button."""
    return demo.wait("push button", tr("update", demo.lang), timeout=30)


def _progress_of(demo, name):
    """The percentage an update button's name reports ("40% done", "已完成 40%"), or None."""
    import re

    pattern = re.escape(tr("SButtonProgress", demo.lang)).replace("%1", r"(\d+)")
    match = re.fullmatch(pattern, name or "")
    return int(match.group(1)) if match else None


def writing(demo):
    """The update button while it shows the writing progress (named by its percentage)."""
    return demo.find("push button", lambda name: _progress_of(demo, name) is not None)


def progress(demo):
    button = writing(demo)
    return _progress_of(demo, button.name) if button is not None else None


def wait_success(demo, timeout=UPDATE_TIMEOUT):
    return demo.wait("push button", tr("success", demo.lang), timeout=timeout)


def update_attached_device(demo, comes_back=True):
    """From a freshly attached device at 1.00 to its home line at 1.10, pressing each button
    through the tree; returns the texts seen on the success screen."""
    device_line(demo, "1.00")
    demo.press(open_offer(demo))
    wait_for(lambda: writing(demo) or demo.find("push button", tr("success", demo.lang)), "the writing to start",
             timeout=UPDATE_TIMEOUT)
    done = wait_success(demo)
    seen = demo.texts()
    demo.press(done)
    # Presses through the tree land a moment later; the home screen shows once the update's is gone
    # (the covered home screen's line is in the tree all along).
    demo.wait_gone("push button", tr("success", demo.lang))
    if comes_back:
        device_line(demo, "1.10")
    else:
        home_help(demo)
    return seen


def guide(demo, timeout=harness.TIMEOUT):
    """The manual-update guide laid over the update screen."""
    return demo.wait(None, tr("guidePicture", demo.lang), timeout=timeout)


def guide_error(demo, timeout=harness.TIMEOUT):
    """The guide in its error form: it opens with the error line, then the steps."""
    error = tr("guideErrorHint", demo.lang)
    return wait_for(lambda: next((n for n in harness.walk(demo.app) if n.name == tr("guidePicture", demo.lang)
                                  and (n.description or "").startswith(error)), None),
                    "the guide's error form", timeout=timeout)


__all__ = ["lab_devices", "progress", "lab_item_enabled", "focused_name", "chooser_buttons", "chooser_button", "home_help", "focus_is", "plug", "arm_fault", "device_line", "home_update_button", "open_offer", "writing",
           "wait_success", "update_attached_device", "guide", "guide_error", "startswith", "contains"]
