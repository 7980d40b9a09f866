<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Flashwell</name>
    <message id="Checkforupdate">
        <source>Checkforupdate</source>
        <translation>Check for update</translation>
    </message>
    <message id="sure">
        <source>sure</source>
        <translation>OK</translation>
    </message>
    <message id="cancel">
        <source>cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="update">
        <source>update</source>
        <translation>Update</translation>
    </message>
    <message id="success">
        <source>success</source>
        <translation>Update succeeded</translation>
    </message>
    <message id="Connect">
        <source>Connect</source>
        <translation>Connected</translation>
    </message>
</context>
</TS>
