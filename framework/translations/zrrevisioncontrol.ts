<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>CRevisionControlUIHelper</name>
    <message>
        <source>Check Out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error found while trying to make the asset %1 writable:
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I/O Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Post-Saving: Mark For Add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>These assets have just been added during the save operation
We can now mark them for add in the revision control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mark For Add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mark For Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The files below were deleted during the commit
We can now mark them for delete in your revision control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check Out Before Saving</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Some of the files of the following assets are read-only
Please select an option before saving continues</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checkout Error</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zrChangeListSelectionDialog</name>
    <message>
        <source>Assets:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add files to pending changelist:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Changelist description</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hide Files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check Out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Continue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make Writable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select Pending ChangeList</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read-Only Assets</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Don&apos;t show this dialog again (always use this option)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Don&apos;t show this dialog again (always use this changelist)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
