<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Controls</name>
    <message id="back">
        <source>back</source>
        <translation>返回</translation>
    </message>
    <message id="backHint">
        <source>backHint</source>
        <translation>回到上一个界面</translation>
    </message>
    <message id="SButtonProgress">
        <source>SButtonProgress</source>
        <translation>已完成 %1%</translation>
    </message>
    <message id="SMiniImageViewHint">
        <source>SMiniImageViewHint</source>
        <translation>按空格键选择此产品</translation>
    </message>
    <message id="guidePicture">
        <source>guidePicture</source>
        <translation>手动进入升级模式的方法</translation>
    </message>
    <message id="guidePictureHint">
        <source>guidePictureHint</source>
        <translation>插入数据线时需要按住的按键</translation>
    </message>
    <message id="guideErrorHint">
        <source>guideErrorHint</source>
        <translation>更新失败，请按以下步骤操作后重试。</translation>
    </message>
    <message id="releaseNotes">
        <source>releaseNotes</source>
        <translation>更新说明</translation>
    </message>
    <message id="releaseNotesOkHint">
        <source>releaseNotesOkHint</source>
        <translation>关闭更新说明</translation>
    </message>
</context>
</TS>
