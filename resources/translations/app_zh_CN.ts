<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>App</name>
    <message id="firmwareUpdate">
        <source>firmwareUpdate</source>
        <translation>固件更新</translation>
    </message>
    <message id="usbHint">
        <source>usbHint</source>
        <translation>请用 USB 数据线将设备连接到电脑</translation>
    </message>
    <message id="helpButton">
        <source>helpButton</source>
        <translation>找不到设备？</translation>
    </message>
    <message id="MacOS">
        <source>MacOS</source>
        <translation>没有找到您的设备</translation>
    </message>
    <message id="MacOSTisp">
        <source>MacOSTisp</source>
        <translation>请使用可传输数据的 USB 线（不要使用仅充电线），并直接连接电脑而不是集线器。无线手柄和摇杆需要先开机。如果仍然找不到设备，请拔下设备，等待 3 秒后重新插入；已处于升级模式的设备可以在“手动更新”中选择。</translation>
    </message>
    <message id="chooseProduct">
        <source>chooseProduct</source>
        <translation>请选择您的产品</translation>
    </message>
    <message id="Update Manually">
        <source>Update Manually</source>
        <translation>手动更新…</translation>
    </message>
    <message id="Includebetabuilds">
        <source>Includebetabuilds</source>
        <translation>包含测试版固件</translation>
    </message>
    <message id="isBeta">
        <source>isBeta</source>
        <translation>测试版固件用于提前体验新功能，但可能仍存在问题。确定从现在起提供测试版固件吗？</translation>
    </message>
    <message id="on">
        <source>on</source>
        <translation>开</translation>
    </message>
    <message id="off">
        <source>off</source>
        <translation>关</translation>
    </message>
    <message id="stopUpdateTitle">
        <source>stopUpdateTitle</source>
        <translation>正在写入固件</translation>
    </message>
    <message id="stopUpdateInfo">
        <source>stopUpdateInfo</source>
        <translation>现在退出会中断更新，设备将停留在升级模式，之后可通过“手动更新”完成。确定中断更新并退出吗？</translation>
    </message>
    <message id="stopUpdate">
        <source>stopUpdate</source>
        <translation>中断更新并退出</translation>
    </message>
    <message id="appMenu">
        <source>appMenu</source>
        <translation>Flashwell</translation>
    </message>
    <message id="recordMenu">
        <source>recordMenu</source>
        <translation>录制下一次更新…</translation>
    </message>
    <message id="recordSaveTitle">
        <source>recordSaveTitle</source>
        <translation>录制保存为</translation>
    </message>
    <message id="recordFailed">
        <source>recordFailed</source>
        <translation>无法写入录制文件。</translation>
    </message>
    <message id="about">
        <source>about</source>
        <translation>关于 Fenwyk Flashwell</translation>
    </message>
    <message id="aboutText">
        <source>aboutText</source>
        <translation>版本 %1
适用于 Fenwyk 手柄、摇杆、接收器和改装套件的固件更新工具。
保留所有权利。</translation>
    </message>
    <message id="quit">
        <source>quit</source>
        <translation>退出 Fenwyk Flashwell</translation>
    </message>
    <message id="labMenu">
        <source>labMenu</source>
        <translation>实验室</translation>
    </message>
    <message id="labPlug">
        <source>labPlug</source>
        <translation>插入</translation>
    </message>
    <message id="labUnplug">
        <source>labUnplug</source>
        <translation>拔出</translation>
    </message>
    <message id="labBootloader">
        <source>labBootloader</source>
        <translation>以升级模式插入</translation>
    </message>
    <message id="labFault">
        <source>labFault</source>
        <translation>下一次更新的故障</translation>
    </message>
    <message id="labFaultNone">
        <source>labFaultNone</source>
        <translation>无</translation>
    </message>
    <message id="labFaultUnplug">
        <source>labFaultUnplug</source>
        <translation>写入时拔出</translation>
    </message>
    <message id="labFaultDrop">
        <source>labFaultDrop</source>
        <translation>丢失一个应答</translation>
    </message>
    <message id="appDevicesBusy">
        <source>appDevicesBusy</source>
        <translation>Fenwyk Flashwell 正在从终端更新设备。请在该更新结束后再打开窗口。</translation>
    </message>
    <message id="appUsage">
        <source>appUsage</source>
        <translation>用法：flashwell [--record 文件]
  --record 文件   把这次更新录制到该文件（见 README）
  --help, -h      显示本说明
  --version       显示程序版本
打开窗口，查找 Fenwyk 手柄、摇杆、接收器和改装套件并更新其固件。</translation>
    </message>
</context>
</TS>
