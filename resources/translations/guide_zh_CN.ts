<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Guide</name>
    <message id="guideSet1_1">
        <source>guideSet1_1</source>
        <translation>1. 拔下 USB 线，等待 3 秒。</translation>
    </message>
    <message id="guideSet1_2">
        <source>guideSet1_2</source>
        <translation>2. 按住 START 和 B 键，再插回 USB 线。</translation>
    </message>
    <message id="guideSet1_3">
        <source>guideSet1_3</source>
        <translation>3. 第一个指示灯快速闪烁时松开按键，更新随即开始。</translation>
    </message>
    <message id="guideSet2_1">
        <source>guideSet2_1</source>
        <translation>1. 拔下 USB 线，等待 3 秒。</translation>
    </message>
    <message id="guideSet2_2">
        <source>guideSet2_2</source>
        <translation>2. 按住 L1 和 R1 肩键，再插回 USB 线。</translation>
    </message>
    <message id="guideSet2_3">
        <source>guideSet2_3</source>
        <translation>3. 第一个指示灯快速闪烁时松开按键，更新随即开始。</translation>
    </message>
    <message id="guideSet3_1">
        <source>guideSet3_1</source>
        <translation>1. 拔下 USB 线，等待 3 秒。</translation>
    </message>
    <message id="guideSet3_2">
        <source>guideSet3_2</source>
        <translation>2. 按住 SELECT 和 A 键，再插回 USB 线。</translation>
    </message>
    <message id="guideSet3_3">
        <source>guideSet3_3</source>
        <translation>3. 第一个指示灯快速闪烁时松开按键，更新随即开始。</translation>
    </message>
    <message id="guideSet4_1">
        <source>guideSet4_1</source>
        <translation>1. 按住接收器上的 PAIR 键。</translation>
    </message>
    <message id="guideSet4_2">
        <source>guideSet4_2</source>
        <translation>2. 保持按住，把接收器插入电脑的 USB 接口。</translation>
    </message>
    <message id="guideSet5_1">
        <source>guideSet5_1</source>
        <translation>1. 按住适配器顶部的 PAIR 键。</translation>
    </message>
    <message id="guideSet5_2">
        <source>guideSet5_2</source>
        <translation>2. 保持按住，把适配器的 USB 线插入电脑。</translation>
    </message>
    <message id="guideSet6_1">
        <source>guideSet6_1</source>
        <translation>1. 在 USB 线拔下的状态下，按住 SELECT 和 HOME 键。</translation>
    </message>
    <message id="guideSet6_2">
        <source>guideSet6_2</source>
        <translation>2. 保持按住并插上 USB 线，2 秒后松开。</translation>
    </message>
    <message id="guideSet7_1">
        <source>guideSet7_1</source>
        <translation>1. 拔下主板的 USB 线，等待 3 秒。</translation>
    </message>
    <message id="guideSet7_2">
        <source>guideSet7_2</source>
        <translation>2. 按住主板上的 BOOT 键，再插回 USB 线。</translation>
    </message>
    <message id="guideSet7_3">
        <source>guideSet7_3</source>
        <translation>3. 绿色指示灯闪烁时松开 BOOT 键，更新随即开始。</translation>
    </message>
    <message id="guideSet8_1">
        <source>guideSet8_1</source>
        <translation>1. 拔下 USB 线，等待 3 秒。</translation>
    </message>
    <message id="guideSet8_2">
        <source>guideSet8_2</source>
        <translation>2. 按住 SELECT 和 START 键，再插回 USB 线。</translation>
    </message>
    <message id="guideSet8_3">
        <source>guideSet8_3</source>
        <translation>3. 继续按住 2 秒后松开。</translation>
    </message>
    <message id="guideSet9_1">
        <source>guideSet9_1</source>
        <translation>1. 拔下 USB 线，等待 3 秒。</translation>
    </message>
    <message id="guideSet9_2">
        <source>guideSet9_2</source>
        <translation>2. 按住 A 和 B 键，再插回 USB 线。</translation>
    </message>
    <message id="guideSet9_3">
        <source>guideSet9_3</source>
        <translation>3. 第一个指示灯快速闪烁时松开按键，更新随即开始。</translation>
    </message>
    <message id="guideSet10_1">
        <source>guideSet10_1</source>
        <translation>1. 拔下 USB 线，等待 3 秒。</translation>
    </message>
    <message id="guideSet10_2">
        <source>guideSet10_2</source>
        <translation>2. 按住 L1 和 HOME 键，再插回 USB 线。</translation>
    </message>
    <message id="guideSet10_3">
        <source>guideSet10_3</source>
        <translation>3. 第一个指示灯快速闪烁时松开按键，更新随即开始。</translation>
    </message>
    <message id="guideSet11_1">
        <source>guideSet11_1</source>
        <translation>1. 拔下 USB 线，等待 3 秒。</translation>
    </message>
    <message id="guideSet11_2">
        <source>guideSet11_2</source>
        <translation>2. 按住 R1 和 HOME 键，再插回 USB 线。</translation>
    </message>
    <message id="guideSet11_3">
        <source>guideSet11_3</source>
        <translation>3. 第一个指示灯快速闪烁时松开按键，更新随即开始。</translation>
    </message>
    <message id="guideSet12_1">
        <source>guideSet12_1</source>
        <translation>1. 拔下摇杆的 USB 线，等待 3 秒。</translation>
    </message>
    <message id="guideSet12_2">
        <source>guideSet12_2</source>
        <translation>2. 按住 TURBO 键，再插回 USB 线。</translation>
    </message>
    <message id="guideSet12_3">
        <source>guideSet12_3</source>
        <translation>3. 继续按住 2 秒后松开。</translation>
    </message>
    <message id="guideSet13_1">
        <source>guideSet13_1</source>
        <translation>1. 拔下接收器，等待 3 秒。</translation>
    </message>
    <message id="guideSet13_2">
        <source>guideSet13_2</source>
        <translation>2. 按住 PAIR 键，再把接收器插回 USB 接口。</translation>
    </message>
    <message id="guideSet13_3">
        <source>guideSet13_3</source>
        <translation>3. 接收器指示灯快速闪烁时松开，更新随即开始。</translation>
    </message>
    <message id="guideKit14_1">
        <source>guideKit14_1</source>
        <translation>1. 在 USB 线拔下的状态下，按住 L1 和 START 键。</translation>
    </message>
    <message id="guideKit14_2">
        <source>guideKit14_2</source>
        <translation>2. 保持按住并插上 USB 线，2 秒后松开。</translation>
    </message>
    <message id="guideKit15_1">
        <source>guideKit15_1</source>
        <translation>1. 在 USB 线拔下的状态下，按住 R1 和 SELECT 键。</translation>
    </message>
    <message id="guideKit15_2">
        <source>guideKit15_2</source>
        <translation>2. 保持按住并插上 USB 线，2 秒后松开。</translation>
    </message>
    <message id="guideKit16_1">
        <source>guideKit16_1</source>
        <translation>1. 在 USB 线拔下的状态下，按住 Y 和 START 键。</translation>
    </message>
    <message id="guideKit16_2">
        <source>guideKit16_2</source>
        <translation>2. 保持按住并插上 USB 线，2 秒后松开。</translation>
    </message>
    <message id="guideKit24_1">
        <source>guideKit24_1</source>
        <translation>1. 在 USB 线拔下的状态下，按住 B 和 HOME 键。</translation>
    </message>
    <message id="guideKit24_2">
        <source>guideKit24_2</source>
        <translation>2. 保持按住并插上 USB 线，2 秒后松开。</translation>
    </message>
    <message id="guideKit27_1">
        <source>guideKit27_1</source>
        <translation>1. 在 USB 线拔下的状态下，按住背键 M1 和 M2。</translation>
    </message>
    <message id="guideKit27_2">
        <source>guideKit27_2</source>
        <translation>2. 保持按住并插上 USB 线，2 秒后松开。</translation>
    </message>
    <message id="guideKeyA">
        <source>guideKeyA</source>
        <translation>1. 在 USB 线拔下的状态下，按住 SELECT 和 START 键。</translation>
    </message>
    <message id="guideKeyB">
        <source>guideKeyB</source>
        <translation>2. 保持按住并插上 USB 线，2 秒后松开。</translation>
    </message>
    <message id="HOMEKey">
        <source>HOMEKey</source>
        <translation>1. 在 USB 线拔下的状态下，按住 HOME 键。</translation>
    </message>
    <message id="guide51_2">
        <source>guide51_2</source>
        <translation>2. 按住主板上的 BOOT 键，再插回 USB 线。</translation>
    </message>
    <message id="guide37_2">
        <source>guide37_2</source>
        <translation>2. 保持按住并插上 USB 线，指示灯闪烁时松开。</translation>
    </message>
    <message id="guideRecover_1">
        <source>guideRecover_1</source>
        <translation>1. 拔下设备，等待 3 秒。</translation>
    </message>
    <message id="guideRecover_2">
        <source>guideRecover_2</source>
        <translation>2. 重新插入设备。</translation>
    </message>
    <message id="guideRecover_3">
        <source>guideRecover_3</source>
        <translation>3. 再按一次“更新”。</translation>
    </message>
</context>
</TS>
