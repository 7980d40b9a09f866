"""The screens as assistive technology sees them: the chooser, names and roles, Chinese."""

import unittest

import flows
import harness
from harness import Demo, tr, wait_for

# Controls a person can act on or read; each needs a name and a real role.
ACTIONABLE_ROLES = {"push button", "toggle button", "check box", "radio button", "image", "icon", "link"}
NO_ROLE = {"unknown", "invalid", "filler", "redundant object"}


def unnamed_controls(demo):
    """Every showing control that has no name, or no role, as (role, description) pairs."""
    bad = []
    for node in harness.walk(demo.app):
        role = harness.role_name(node)
        if role in ("menu", "menu item", "menu bar", "check menu item", "radio menu item", "separator"):
            continue
        try:
            actions = node.queryAction()
            acts = [actions.getName(i) for i in range(actions.nActions)]
        except NotImplementedError:
            acts = []
        # A press or toggle makes it a control; focus alone does not.
        clickable = any(a.lower() in ("press", "click", "toggle") for a in acts)
        content = ""
        try:
            text = node.queryText()
            content = text.getText(0, text.characterCount).strip()
        except NotImplementedError:
            pass
        if not (clickable or content or role in ACTIONABLE_ROLES):
            continue
        if not (node.name or "").strip() or role in NO_ROLE:
            bad.append((role, node.name, content[:40], acts))
    return bad


class Screens(unittest.TestCase):
    def test_chooser_reaches_every_product(self):
        products = harness.chooser_products()
        with Demo(harness.desktop(), devices=0) as demo:
            flows.home_help(demo)
            demo.menu(tr("appMenu"), tr("Update Manually"))
            demo.wait("label", tr("chooseProduct"))
            labels = {b.name for b in wait_for(lambda: flows.chooser_buttons(demo), "the chooser's grid")}
            missing = [p["name"] for p in products if harness.chooser_label(p["name"]) not in labels]
            self.assertEqual(missing, [], "products without a button in the chooser")
            # Every product opens its own update screen (or its guide straight away).
            for product in products:
                label = harness.chooser_label(product["name"])
                with self.subTest(product=label):
                    button = wait_for(lambda: flows.chooser_button(demo, label), "the chooser's %r" % label)
                    demo.press(button)
                    picture = demo.wait(None, tr("updateDevicePicture").replace("%1", product["name"]))
                    self.assertTrue(picture)
                    back = demo.wait("push button", tr("back"))
                    demo.press(back)
                    demo.wait_gone(None, tr("updateDevicePicture").replace("%1", product["name"]))

    def test_every_control_has_a_name_and_a_role(self):
        with Demo(harness.desktop(), devices=1) as demo:
            flows.device_line(demo, "1.00")
            screens = {}
            flows.open_offer(demo)
            screens["offer"] = unnamed_controls(demo)
            demo.press(demo.wait("push button", tr("update")))
            wait_for(lambda: flows.writing(demo), "the writing", timeout=flows.UPDATE_TIMEOUT)
            screens["writing"] = unnamed_controls(demo)
            demo.press(flows.wait_success(demo))
            flows.device_line(demo, "1.10")
            screens["home"] = unnamed_controls(demo)
            demo.menu(tr("appMenu"), tr("Update Manually"))
            wait_for(lambda: flows.chooser_buttons(demo), "the chooser")
            screens["chooser"] = unnamed_controls(demo)
            for where, bad in screens.items():
                with self.subTest(screen=where):
                    self.assertEqual(bad, [], where)

    def test_chinese_interface(self):
        with Demo(harness.desktop(), devices=0, lang="zh_CN.UTF-8") as demo:
            self.assertEqual(demo.lang, "zh_CN")
            flows.home_help(demo)
            self.assertIn("USB", " ".join(demo.texts()))
            device = flows.lab_devices(demo)[0]
            flows.plug(demo, device)
            flows.device_line(demo, "1.00")
            update = flows.open_offer(demo)
            self.assertIn("更新", update.name)
            # The guide in Chinese: a product that is updated by hand only, from the chooser.
            flows.plug(demo, device, "labUnplug")
            demo.press(demo.wait("push button", tr("back", "zh_CN")))
            # A press lands a moment later; home alone has no back button.
            demo.wait_gone("push button", tr("back", "zh_CN"))
            flows.home_help(demo)
            products = harness.chooser_products()
            manual = next(i for i, p in enumerate(products) if p.get("type") == 3)
            demo.menu(tr("appMenu", "zh_CN"), tr("Update Manually", "zh_CN"))
            demo.wait("label", tr("chooseProduct", "zh_CN"))
            buttons = wait_for(lambda: flows.chooser_buttons(demo), "the chooser's grid")
            self.assertEqual(len(buttons), len(products))
            demo.press(buttons[manual])
            guide = flows.guide(demo)
            steps = guide.description or ""
            self.assertTrue(any("\u4e00" <= ch <= "\u9fff" for ch in steps), steps)
            self.assertNotIn("Unplug", steps)


if __name__ == "__main__":
    harness.main()
