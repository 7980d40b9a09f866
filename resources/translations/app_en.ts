<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>App</name>
    <message id="firmwareUpdate">
        <source>firmwareUpdate</source>
        <translation>Firmware update</translation>
    </message>
    <message id="usbHint">
        <source>usbHint</source>
        <translation>Connect your controller to this computer with a USB data cable</translation>
    </message>
    <message id="helpButton">
        <source>helpButton</source>
        <translation>Device not found?</translation>
    </message>
    <message id="MacOS">
        <source>MacOS</source>
        <translation>Your device is not showing up</translation>
    </message>
    <message id="MacOSTisp">
        <source>MacOSTisp</source>
        <translation>Use a USB cable that carries data (not a charge-only cable) and plug it straight into the computer, not into a hub. Wireless controllers and arcade sticks must be switched on. If the device still does not appear, unplug it, wait 3 seconds and plug it in again; a device already in update mode can be chosen under “Update Manually”.</translation>
    </message>
    <message id="chooseProduct">
        <source>chooseProduct</source>
        <translation>Choose your product</translation>
    </message>
    <message id="Update Manually">
        <source>Update Manually</source>
        <translation>Update Manually…</translation>
    </message>
    <message id="Includebetabuilds">
        <source>Includebetabuilds</source>
        <translation>Include beta builds</translation>
    </message>
    <message id="isBeta">
        <source>isBeta</source>
        <translation>Beta builds are test firmware: they bring new features early but may still have faults. Offer beta builds from now on?</translation>
    </message>
    <message id="on">
        <source>on</source>
        <translation>on</translation>
    </message>
    <message id="off">
        <source>off</source>
        <translation>off</translation>
    </message>
    <message id="stopUpdateTitle">
        <source>stopUpdateTitle</source>
        <translation>Firmware is being written</translation>
    </message>
    <message id="stopUpdateInfo">
        <source>stopUpdateInfo</source>
        <translation>Quitting now stops the update half-way and leaves the device in its update mode. You can finish later with “Update Manually”. Stop the update and quit?</translation>
    </message>
    <message id="stopUpdate">
        <source>stopUpdate</source>
        <translation>Stop update and quit</translation>
    </message>
    <message id="appMenu">
        <source>appMenu</source>
        <translation>Flashwell</translation>
    </message>
    <message id="recordMenu">
        <source>recordMenu</source>
        <translation>Record the next update…</translation>
    </message>
    <message id="recordSaveTitle">
        <source>recordSaveTitle</source>
        <translation>Save the recording as</translation>
    </message>
    <message id="recordFailed">
        <source>recordFailed</source>
        <translation>The recording cannot be written.</translation>
    </message>
    <message id="about">
        <source>about</source>
        <translation>About Fenwyk Flashwell</translation>
    </message>
    <message id="aboutText">
        <source>aboutText</source>
        <translation>Version %1
Firmware updater for Fenwyk controllers, arcade sticks, receivers and mod kits.
All rights reserved.</translation>
    </message>
    <message id="quit">
        <source>quit</source>
        <translation>Quit Fenwyk Flashwell</translation>
    </message>
    <message id="labMenu">
        <source>labMenu</source>
        <translation>Lab</translation>
    </message>
    <message id="labPlug">
        <source>labPlug</source>
        <translation>Plug in</translation>
    </message>
    <message id="labUnplug">
        <source>labUnplug</source>
        <translation>Unplug</translation>
    </message>
    <message id="labBootloader">
        <source>labBootloader</source>
        <translation>Plug in, already in update mode</translation>
    </message>
    <message id="labFault">
        <source>labFault</source>
        <translation>Fault for the next update</translation>
    </message>
    <message id="labFaultNone">
        <source>labFaultNone</source>
        <translation>None</translation>
    </message>
    <message id="labFaultUnplug">
        <source>labFaultUnplug</source>
        <translation>Unplug while writing</translation>
    </message>
    <message id="labFaultDrop">
        <source>labFaultDrop</source>
        <translation>Drop a reply</translation>
    </message>
    <message id="appDevicesBusy">
        <source>appDevicesBusy</source>
        <translation>Fenwyk Flashwell is updating a device from a terminal. Open the window again when that update has ended.</translation>
    </message>
    <message id="appUsage">
        <source>appUsage</source>
        <translation>usage: flashwell [--record FILE]
  --record FILE   record the update into FILE (see the README)
  --help, -h      this text
  --version       the program's version
Opens the window that finds Fenwyk controllers, arcade sticks, receivers and mod kits and updates their firmware.</translation>
    </message>
</context>
</TS>
