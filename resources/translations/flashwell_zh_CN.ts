<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Flashwell</name>
    <message id="Checkforupdate">
        <source>Checkforupdate</source>
        <translation>检查更新</translation>
    </message>
    <message id="sure">
        <source>sure</source>
        <translation>确定</translation>
    </message>
    <message id="cancel">
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message id="update">
        <source>update</source>
        <translation>更新</translation>
    </message>
    <message id="success">
        <source>success</source>
        <translation>更新成功</translation>
    </message>
    <message id="Connect">
        <source>Connect</source>
        <translation>已连接</translation>
    </message>
</context>
</TS>
