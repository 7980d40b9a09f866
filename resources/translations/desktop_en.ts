<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Desktop</name>
    <message id="cannotOpenDevice">
        <source>cannotOpenDevice</source>
        <translation>%1 is plugged in but Flashwell may not open it. Install the device rules that come with Flashwell (its package does), or run “sudo install -m 644 70-flashwell.rules /etc/udev/rules.d/”, then unplug the device and plug it in again.</translation>
    </message>
</context>
</TS>
