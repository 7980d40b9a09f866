<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Cli</name>
    <message id="cliBadDevice">
        <source>cliBadDevice</source>
        <translation>"%1" is not a device: give its number from "flashwell-cli devices", or VID:PID.</translation>
    </message>
    <message id="cliBadRelease">
        <source>cliBadRelease</source>
        <translation>"%1" is not a release: give VERSION or VERSION-beta N, such as 1.02 or 1.03-beta2.</translation>
    </message>
    <message id="cliBetaOnlyOptions">
        <source>cliBetaOnlyOptions</source>
        <translation>--beta-builds goes with "releases" and "update".</translation>
    </message>
    <message id="cliBootVersion">
        <source>cliBootVersion</source>
        <translation>bootloader %1</translation>
    </message>
    <message id="cliBootloaderMode">
        <source>cliBootloaderMode</source>
        <translation>bootloader mode</translation>
    </message>
    <message id="cliBootloaderNeedsProduct">
        <source>cliBootloaderNeedsProduct</source>
        <translation>Device %1 is in bootloader mode: name its product with --product NAME.</translation>
    </message>
    <message id="cliConfirm">
        <source>cliConfirm</source>
        <translation>Write firmware %1 to %2 (now %3)? [y/N] </translation>
    </message>
    <message id="cliDownloading">
        <source>cliDownloading</source>
        <translation>Downloading %1…</translation>
    </message>
    <message id="cliFailed">
        <source>cliFailed</source>
        <translation>Update failed: %1</translation>
    </message>
    <message id="cliGaveUpWaiting">
        <source>cliGaveUpWaiting</source>
        <translation>Gave up waiting for the device in its update mode.</translation>
    </message>
    <message id="cliGuide">
        <source>cliGuide</source>
        <translation>Put the device into its update mode by hand:</translation>
    </message>
    <message id="cliGuideAfterFailure">
        <source>cliGuideAfterFailure</source>
        <translation>The update failed. Put the device into its update mode by hand, then run flashwell-cli update again (with --product NAME):</translation>
    </message>
    <message id="cliHistoryEmpty">
        <source>cliHistoryEmpty</source>
        <translation>No updates recorded yet.</translation>
    </message>
    <message id="cliHistorySkipped">
        <source>cliHistorySkipped</source>
        <translation>%1 line(s) of the update history could not be read and were skipped.</translation>
    </message>
    <message id="cliHistoryUnreadable">
        <source>cliHistoryUnreadable</source>
        <translation>Cannot read the update history: %1</translation>
    </message>
    <message id="cliHistoryWriteFailed">
        <source>cliHistoryWriteFailed</source>
        <translation>The update history could not be written: %1</translation>
    </message>
    <message id="cliListFailed">
        <source>cliListFailed</source>
        <translation>Could not fetch the release list: %1</translation>
    </message>
    <message id="cliListTimeout">
        <source>cliListTimeout</source>
        <translation>The server did not answer with a release list in time.</translation>
    </message>
    <message id="cliNameDevice">
        <source>cliNameDevice</source>
        <translation>Name a device: its number from "flashwell-cli devices", or VID:PID.</translation>
    </message>
    <message id="cliNoBootloader">
        <source>cliNoBootloader</source>
        <translation>No device in bootloader mode is attached.</translation>
    </message>
    <message id="cliNoCommand">
        <source>cliNoCommand</source>
        <translation>Name a command.</translation>
    </message>
    <message id="cliNoDevices">
        <source>cliNoDevices</source>
        <translation>No devices found.</translation>
    </message>
    <message id="cliNoList">
        <source>cliNoList</source>
        <translation>The server sent no release list.</translation>
    </message>
    <message id="cliNoReleases">
        <source>cliNoReleases</source>
        <translation>No releases for %1.</translation>
    </message>
    <message id="cliNoSuchDevice">
        <source>cliNoSuchDevice</source>
        <translation>No device %1. Run "flashwell-cli devices" to list them.</translation>
    </message>
    <message id="cliNotConfirmed">
        <source>cliNotConfirmed</source>
        <translation>Nothing was written.</translation>
    </message>
    <message id="cliOptionNeedsValue">
        <source>cliOptionNeedsValue</source>
        <translation>%1 needs a value.</translation>
    </message>
    <message id="cliProductForBootloaderOnly">
        <source>cliProductForBootloaderOnly</source>
        <translation>--product is for a device in bootloader mode; this one names itself.</translation>
    </message>
    <message id="cliSeveralBootloaders">
        <source>cliSeveralBootloaders</source>
        <translation>Several devices are in bootloader mode: name one by its number or VID:PID.</translation>
    </message>
    <message id="cliStopAsk">
        <source>cliStopAsk</source>
        <translation>Firmware is being written: stopping now can leave the device without working firmware. Press Ctrl-C again to stop.</translation>
    </message>
    <message id="cliStopped">
        <source>cliStopped</source>
        <translation>Stopped by the user.</translation>
    </message>
    <message id="cliSuccess">
        <source>cliSuccess</source>
        <translation>%1 updated to %2.</translation>
    </message>
    <message id="cliSwitchByHand">
        <source>cliSwitchByHand</source>
        <translation>switched to its update mode by hand</translation>
    </message>
    <message id="cliSwitchable">
        <source>cliSwitchable</source>
        <translation>switches to its update mode by itself</translation>
    </message>
    <message id="cliTooManyArguments">
        <source>cliTooManyArguments</source>
        <translation>Unexpected argument "%1".</translation>
    </message>
    <message id="cliUnknownCommand">
        <source>cliUnknownCommand</source>
        <translation>Unknown command "%1".</translation>
    </message>
    <message id="cliUnknownOption">
        <source>cliUnknownOption</source>
        <translation>Unknown option "%1".</translation>
    </message>
    <message id="cliUnknownProduct">
        <source>cliUnknownProduct</source>
        <translation>No product named "%1" in the catalogue.</translation>
    </message>
    <message id="cliUnknownRelease">
        <source>cliUnknownRelease</source>
        <translation>No release %1 for %2. Run "flashwell-cli releases" to list them.</translation>
    </message>
    <message id="cliUnknownVersion">
        <source>cliUnknownVersion</source>
        <translation>unknown</translation>
    </message>
    <message id="cliUpdateOnlyOptions">
        <source>cliUpdateOnlyOptions</source>
        <translation>--yes, --release and --product go with "update".</translation>
    </message>
    <message id="cliUsage">
        <source>cliUsage</source>
        <translation>usage: flashwell-cli COMMAND [--json]
  devices                          the attached devices, numbered
  releases DEVICE [--beta-builds]  the releases the update screen lists for DEVICE
  update DEVICE [--release VERSION[-beta N]] [--yes] [--beta-builds] [--product NAME]
                                   download, switch, write and verify
        [--record FILE]            and record the update into FILE (see the README)
  history                          every update attempt so far
  report                           versions, system, HID devices and what keeps one from opening
  --help, -h                       this text
  --version                        the program's version
DEVICE is a number printed by "devices", or VID:PID (hex). A device in bootloader mode needs
--product NAME, its product's catalogue name. --json prints one JSON object per line.
Exit status: 0 success, 1 failure, 2 bad usage, 3 no such device.</translation>
    </message>
    <message id="cliVersion">
        <source>cliVersion</source>
        <translation>version %1</translation>
    </message>
    <message id="cliWaitingForDevice">
        <source>cliWaitingForDevice</source>
        <translation>Waiting for the device in its update mode (Ctrl-C to stop)…</translation>
    </message>
    <message id="cliWriting">
        <source>cliWriting</source>
        <translation>Writing firmware…</translation>
    </message>
    <message id="cliWritten">
        <source>cliWritten</source>
        <translation>Written: %1 %</translation>
    </message>
    <message id="cliYesWord">
        <source>cliYesWord</source>
        <translation>yes</translation>
    </message>
    <message id="historyCancelled">
        <source>historyCancelled</source>
        <translation>cancelled</translation>
    </message>
    <message id="historyClose">
        <source>historyClose</source>
        <translation>Close</translation>
    </message>
    <message id="historyDevice">
        <source>historyDevice</source>
        <translation>Device</translation>
    </message>
    <message id="historyDeviceLeft">
        <source>historyDeviceLeft</source>
        <translation>The device left while the firmware was being written.</translation>
    </message>
    <message id="historyError">
        <source>historyError</source>
        <translation>Error</translation>
    </message>
    <message id="historyFailed">
        <source>historyFailed</source>
        <translation>failed</translation>
    </message>
    <message id="historyFile">
        <source>historyFile</source>
        <translation>File</translation>
    </message>
    <message id="historyFrom">
        <source>historyFrom</source>
        <translation>From</translation>
    </message>
    <message id="historyIds">
        <source>historyIds</source>
        <translation>VID:PID</translation>
    </message>
    <message id="historyInterrupted">
        <source>historyInterrupted</source>
        <translation>interrupted</translation>
    </message>
    <message id="historyMenu">
        <source>historyMenu</source>
        <translation>Update history…</translation>
    </message>
    <message id="historyNoSignOfLife">
        <source>historyNoSignOfLife</source>
        <translation>The update stopped: no sign of life from the device for 20 seconds, or a report could not be sent.</translation>
    </message>
    <message id="historyOutcome">
        <source>historyOutcome</source>
        <translation>Outcome</translation>
    </message>
    <message id="historySuccess">
        <source>historySuccess</source>
        <translation>succeeded</translation>
    </message>
    <message id="historyTime">
        <source>historyTime</source>
        <translation>Time</translation>
    </message>
    <message id="historyTitle">
        <source>historyTitle</source>
        <translation>Update history</translation>
    </message>
    <message id="historyTo">
        <source>historyTo</source>
        <translation>To</translation>
    </message>
    <message id="historyUnreadable">
        <source>historyUnreadable</source>
        <translation>The update history cannot be read: %1</translation>
    </message>
    <message id="cliDevicesBusy">
        <source>cliDevicesBusy</source>
        <translation>Another Fenwyk Flashwell is using the devices: its window, or an update from a terminal. Close it, or wait for its update to end.</translation>
    </message>
</context>
</TS>
