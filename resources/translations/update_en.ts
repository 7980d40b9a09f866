<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Update</name>
    <message id="other">
        <source>other</source>
        <translation>Others</translation>
    </message>
    <message id="close">
        <source>close</source>
        <translation>Close</translation>
    </message>
    <message id="updateNext">
        <source>updateNext</source>
        <translation>Next</translation>
    </message>
    <message id="prepareUpdate">
        <source>prepareUpdate</source>
        <translation>Preparing…</translation>
    </message>
    <message id="NotSupport">
        <source>NotSupport</source>
        <translation>This firmware is not compatible with the bootloader of this device.</translation>
    </message>
    <message id="newversion">
        <source>newversion</source>
        <translation>New version</translation>
    </message>
    <message id="reload">
        <source>reload</source>
        <translation>Reload</translation>
    </message>
    <message id="emptyFirmwaer">
        <source>emptyFirmwaer</source>
        <translation>No firmware</translation>
    </message>
    <message id="notFirmware">
        <source>notFirmware</source>
        <translation>No firmware is available for this device yet.</translation>
    </message>
    <message id="willUpdateFirmwaer">
        <source>willUpdateFirmwaer</source>
        <translation>Firmware </translation>
    </message>
    <message id="willUpdateFirmwaering">
        <source>willUpdateFirmwaering</source>
        <translation>Updating </translation>
    </message>
    <message id="willUpdateFirmwaered">
        <source>willUpdateFirmwaered</source>
        <translation>Updated </translation>
    </message>
    <message id="beta">
        <source>beta</source>
        <translation> beta</translation>
    </message>
    <message id="to">
        <source>to</source>
        <translation> to</translation>
    </message>
    <message id="log">
        <source>log</source>
        <translation>Notes</translation>
    </message>
    <message id="updateListHint">
        <source>updateListHint</source>
        <translation>Firmware releases</translation>
    </message>
    <message id="updateCheckboxHint">
        <source>updateCheckboxHint</source>
        <translation>Choose this release</translation>
    </message>
    <message id="updateDevicePicture">
        <source>updateDevicePicture</source>
        <translation>Device: %1</translation>
    </message>
    <message id="updateReceiverPicture">
        <source>updateReceiverPicture</source>
        <translation>Receiver: %1</translation>
    </message>
</context>
</TS>
