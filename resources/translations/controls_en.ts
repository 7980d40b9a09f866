<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Controls</name>
    <message id="back">
        <source>back</source>
        <translation>Back</translation>
    </message>
    <message id="backHint">
        <source>backHint</source>
        <translation>Return to the previous screen</translation>
    </message>
    <message id="SButtonProgress">
        <source>SButtonProgress</source>
        <translation>%1% done</translation>
    </message>
    <message id="SMiniImageViewHint">
        <source>SMiniImageViewHint</source>
        <translation>Press Space to choose this product</translation>
    </message>
    <message id="guidePicture">
        <source>guidePicture</source>
        <translation>How to enter update mode by hand</translation>
    </message>
    <message id="guidePictureHint">
        <source>guidePictureHint</source>
        <translation>The buttons to hold while plugging the cable in</translation>
    </message>
    <message id="guideErrorHint">
        <source>guideErrorHint</source>
        <translation>The update failed. Follow these steps and try again.</translation>
    </message>
    <message id="releaseNotes">
        <source>releaseNotes</source>
        <translation>Release notes</translation>
    </message>
    <message id="releaseNotesOkHint">
        <source>releaseNotesOkHint</source>
        <translation>Close the release notes</translation>
    </message>
</context>
</TS>
