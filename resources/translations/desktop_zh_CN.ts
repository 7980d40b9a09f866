<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Desktop</name>
    <message id="cannotOpenDevice">
        <source>cannotOpenDevice</source>
        <translation>已连接 %1，但无法打开：本机尚未允许 Flashwell 访问该设备。请安装 Flashwell 附带的设备规则（安装软件包时会自动安装），或运行“sudo install -m 644 70-flashwell.rules /etc/udev/rules.d/”，然后拔下设备并重新插入。</translation>
    </message>
</context>
</TS>
