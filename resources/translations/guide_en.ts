<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Guide</name>
    <message id="guideSet1_1">
        <source>guideSet1_1</source>
        <translation>1. Unplug the USB cable and wait 3 seconds.</translation>
    </message>
    <message id="guideSet1_2">
        <source>guideSet1_2</source>
        <translation>2. Hold START and B, then plug the USB cable back in.</translation>
    </message>
    <message id="guideSet1_3">
        <source>guideSet1_3</source>
        <translation>3. Let go when the first light blinks fast; the update starts.</translation>
    </message>
    <message id="guideSet2_1">
        <source>guideSet2_1</source>
        <translation>1. Unplug the USB cable and wait 3 seconds.</translation>
    </message>
    <message id="guideSet2_2">
        <source>guideSet2_2</source>
        <translation>2. Hold the L1 and R1 shoulder buttons, then plug the cable back in.</translation>
    </message>
    <message id="guideSet2_3">
        <source>guideSet2_3</source>
        <translation>3. Let go when the first light blinks fast; the update starts.</translation>
    </message>
    <message id="guideSet3_1">
        <source>guideSet3_1</source>
        <translation>1. Unplug the USB cable and wait 3 seconds.</translation>
    </message>
    <message id="guideSet3_2">
        <source>guideSet3_2</source>
        <translation>2. Hold SELECT and A, then plug the USB cable back in.</translation>
    </message>
    <message id="guideSet3_3">
        <source>guideSet3_3</source>
        <translation>3. Let go when the first light blinks fast; the update starts.</translation>
    </message>
    <message id="guideSet4_1">
        <source>guideSet4_1</source>
        <translation>1. Hold the PAIR button on the receiver.</translation>
    </message>
    <message id="guideSet4_2">
        <source>guideSet4_2</source>
        <translation>2. Keep holding it and plug the receiver into a USB port.</translation>
    </message>
    <message id="guideSet5_1">
        <source>guideSet5_1</source>
        <translation>1. Hold the PAIR button on top of the adapter.</translation>
    </message>
    <message id="guideSet5_2">
        <source>guideSet5_2</source>
        <translation>2. Keep holding it and plug the adapter's cable into the computer.</translation>
    </message>
    <message id="guideSet6_1">
        <source>guideSet6_1</source>
        <translation>1. With the USB cable unplugged, hold SELECT and HOME.</translation>
    </message>
    <message id="guideSet6_2">
        <source>guideSet6_2</source>
        <translation>2. Keep holding and plug the cable in; let go after 2 seconds.</translation>
    </message>
    <message id="guideSet7_1">
        <source>guideSet7_1</source>
        <translation>1. Unplug the board's USB cable and wait 3 seconds.</translation>
    </message>
    <message id="guideSet7_2">
        <source>guideSet7_2</source>
        <translation>2. Hold the BOOT button on the board and plug the cable back in.</translation>
    </message>
    <message id="guideSet7_3">
        <source>guideSet7_3</source>
        <translation>3. Let go of BOOT when the green light blinks; the update starts.</translation>
    </message>
    <message id="guideSet8_1">
        <source>guideSet8_1</source>
        <translation>1. Unplug the USB cable and wait 3 seconds.</translation>
    </message>
    <message id="guideSet8_2">
        <source>guideSet8_2</source>
        <translation>2. Hold SELECT and START, then plug the USB cable back in.</translation>
    </message>
    <message id="guideSet8_3">
        <source>guideSet8_3</source>
        <translation>3. Keep holding for 2 more seconds, then let go.</translation>
    </message>
    <message id="guideSet9_1">
        <source>guideSet9_1</source>
        <translation>1. Unplug the USB cable and wait 3 seconds.</translation>
    </message>
    <message id="guideSet9_2">
        <source>guideSet9_2</source>
        <translation>2. Hold A and B, then plug the USB cable back in.</translation>
    </message>
    <message id="guideSet9_3">
        <source>guideSet9_3</source>
        <translation>3. Let go when the first light blinks fast; the update starts.</translation>
    </message>
    <message id="guideSet10_1">
        <source>guideSet10_1</source>
        <translation>1. Unplug the USB cable and wait 3 seconds.</translation>
    </message>
    <message id="guideSet10_2">
        <source>guideSet10_2</source>
        <translation>2. Hold L1 and HOME, then plug the USB cable back in.</translation>
    </message>
    <message id="guideSet10_3">
        <source>guideSet10_3</source>
        <translation>3. Let go when the first light blinks fast; the update starts.</translation>
    </message>
    <message id="guideSet11_1">
        <source>guideSet11_1</source>
        <translation>1. Unplug the USB cable and wait 3 seconds.</translation>
    </message>
    <message id="guideSet11_2">
        <source>guideSet11_2</source>
        <translation>2. Hold R1 and HOME, then plug the USB cable back in.</translation>
    </message>
    <message id="guideSet11_3">
        <source>guideSet11_3</source>
        <translation>3. Let go when the first light blinks fast; the update starts.</translation>
    </message>
    <message id="guideSet12_1">
        <source>guideSet12_1</source>
        <translation>1. Unplug the stick's USB cable and wait 3 seconds.</translation>
    </message>
    <message id="guideSet12_2">
        <source>guideSet12_2</source>
        <translation>2. Hold the TURBO button and plug the cable back in.</translation>
    </message>
    <message id="guideSet12_3">
        <source>guideSet12_3</source>
        <translation>3. Keep holding for 2 more seconds, then let go.</translation>
    </message>
    <message id="guideSet13_1">
        <source>guideSet13_1</source>
        <translation>1. Unplug the receiver and wait 3 seconds.</translation>
    </message>
    <message id="guideSet13_2">
        <source>guideSet13_2</source>
        <translation>2. Hold the PAIR button and plug the receiver back in.</translation>
    </message>
    <message id="guideSet13_3">
        <source>guideSet13_3</source>
        <translation>3. Let go when its light blinks fast; the update starts.</translation>
    </message>
    <message id="guideKit14_1">
        <source>guideKit14_1</source>
        <translation>1. With the USB cable unplugged, hold L1 and START.</translation>
    </message>
    <message id="guideKit14_2">
        <source>guideKit14_2</source>
        <translation>2. Keep holding and plug the cable in; let go after 2 seconds.</translation>
    </message>
    <message id="guideKit15_1">
        <source>guideKit15_1</source>
        <translation>1. With the USB cable unplugged, hold R1 and SELECT.</translation>
    </message>
    <message id="guideKit15_2">
        <source>guideKit15_2</source>
        <translation>2. Keep holding and plug the cable in; let go after 2 seconds.</translation>
    </message>
    <message id="guideKit16_1">
        <source>guideKit16_1</source>
        <translation>1. With the USB cable unplugged, hold Y and START.</translation>
    </message>
    <message id="guideKit16_2">
        <source>guideKit16_2</source>
        <translation>2. Keep holding and plug the cable in; let go after 2 seconds.</translation>
    </message>
    <message id="guideKit24_1">
        <source>guideKit24_1</source>
        <translation>1. With the USB cable unplugged, hold B and HOME.</translation>
    </message>
    <message id="guideKit24_2">
        <source>guideKit24_2</source>
        <translation>2. Keep holding and plug the cable in; let go after 2 seconds.</translation>
    </message>
    <message id="guideKit27_1">
        <source>guideKit27_1</source>
        <translation>1. With the USB cable unplugged, hold the back buttons M1 and M2.</translation>
    </message>
    <message id="guideKit27_2">
        <source>guideKit27_2</source>
        <translation>2. Keep holding and plug the cable in; let go after 2 seconds.</translation>
    </message>
    <message id="guideKeyA">
        <source>guideKeyA</source>
        <translation>1. With the USB cable unplugged, hold SELECT and START.</translation>
    </message>
    <message id="guideKeyB">
        <source>guideKeyB</source>
        <translation>2. Keep holding and plug the cable in; let go after 2 seconds.</translation>
    </message>
    <message id="HOMEKey">
        <source>HOMEKey</source>
        <translation>1. With the USB cable unplugged, hold the HOME button.</translation>
    </message>
    <message id="guide51_2">
        <source>guide51_2</source>
        <translation>2. Hold the BOOT button on the board and plug the cable back in.</translation>
    </message>
    <message id="guide37_2">
        <source>guide37_2</source>
        <translation>2. Keep holding, plug the cable in and let go when the light blinks.</translation>
    </message>
    <message id="guideRecover_1">
        <source>guideRecover_1</source>
        <translation>1. Unplug the device and wait 3 seconds.</translation>
    </message>
    <message id="guideRecover_2">
        <source>guideRecover_2</source>
        <translation>2. Plug it back in.</translation>
    </message>
    <message id="guideRecover_3">
        <source>guideRecover_3</source>
        <translation>3. Press Update again.</translation>
    </message>
</context>
</TS>
