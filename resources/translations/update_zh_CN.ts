<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Update</name>
    <message id="other">
        <source>other</source>
        <translation>其他版本</translation>
    </message>
    <message id="close">
        <source>close</source>
        <translation>关闭</translation>
    </message>
    <message id="updateNext">
        <source>updateNext</source>
        <translation>下一个</translation>
    </message>
    <message id="prepareUpdate">
        <source>prepareUpdate</source>
        <translation>准备中…</translation>
    </message>
    <message id="NotSupport">
        <source>NotSupport</source>
        <translation>该固件与此设备的升级程序不兼容。</translation>
    </message>
    <message id="newversion">
        <source>newversion</source>
        <translation>发现新版本</translation>
    </message>
    <message id="reload">
        <source>reload</source>
        <translation>重新加载</translation>
    </message>
    <message id="emptyFirmwaer">
        <source>emptyFirmwaer</source>
        <translation>暂无固件</translation>
    </message>
    <message id="notFirmware">
        <source>notFirmware</source>
        <translation>此设备暂无可用固件。</translation>
    </message>
    <message id="willUpdateFirmwaer">
        <source>willUpdateFirmwaer</source>
        <translation>固件 </translation>
    </message>
    <message id="willUpdateFirmwaering">
        <source>willUpdateFirmwaering</source>
        <translation>正在更新 </translation>
    </message>
    <message id="willUpdateFirmwaered">
        <source>willUpdateFirmwaered</source>
        <translation>已更新 </translation>
    </message>
    <message id="beta">
        <source>beta</source>
        <translation> 测试版</translation>
    </message>
    <message id="to">
        <source>to</source>
        <translation> 至</translation>
    </message>
    <message id="log">
        <source>log</source>
        <translation>说明</translation>
    </message>
    <message id="updateListHint">
        <source>updateListHint</source>
        <translation>固件版本列表</translation>
    </message>
    <message id="updateCheckboxHint">
        <source>updateCheckboxHint</source>
        <translation>选择此版本</translation>
    </message>
    <message id="updateDevicePicture">
        <source>updateDevicePicture</source>
        <translation>设备：%1</translation>
    </message>
    <message id="updateReceiverPicture">
        <source>updateReceiverPicture</source>
        <translation>接收器：%1</translation>
    </message>
</context>
</TS>
