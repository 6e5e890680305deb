<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CRevisionControlUIHelper</name>
    <message>
        <source>Check Out</source>
        <translation>Auschecken</translation>
    </message>
    <message>
        <source>Error found while trying to make the asset %1 writable:
%2</source>
        <translation>Beim Versuch, das Asset %1 beschreibbar zu machen, ist ein Fehler aufgetreten:
%2</translation>
    </message>
    <message>
        <source>I/O Error</source>
        <translation>E/A-Fehler</translation>
    </message>
    <message>
        <source>Post-Saving: Mark For Add</source>
        <translation>Nach dem Speichern: Zum Hinzufügen markieren</translation>
    </message>
    <message>
        <source>These assets have just been added during the save operation
We can now mark them for add in the revision control</source>
        <translation>Diese Assets wurden beim Speichern gerade hinzugefügt
Sie können jetzt in der Versionsverwaltung zum Hinzufügen markiert werden</translation>
    </message>
    <message>
        <source>Mark For Add</source>
        <translation>Zum Hinzufügen markieren</translation>
    </message>
    <message>
        <source>Mark For Delete</source>
        <translation>Zum Löschen markieren</translation>
    </message>
    <message>
        <source>The files below were deleted during the commit
We can now mark them for delete in your revision control</source>
        <translation>Die folgenden Dateien wurden beim Übertragen gelöscht
Sie können jetzt in Ihrer Versionsverwaltung zum Löschen markiert werden</translation>
    </message>
    <message>
        <source>Check Out Before Saving</source>
        <translation>Vor dem Speichern auschecken</translation>
    </message>
    <message>
        <source>Some of the files of the following assets are read-only
Please select an option before saving continues</source>
        <translation>Einige Dateien der folgenden Assets sind schreibgeschützt
Bitte wählen Sie eine Option, bevor das Speichern fortgesetzt wird</translation>
    </message>
    <message>
        <source>Checkout Error</source>
        <translation>Fehler beim Auschecken</translation>
    </message>
</context>
<context>
    <name>zrChangeListSelectionDialog</name>
    <message>
        <source>Assets:</source>
        <translation>Assets:</translation>
    </message>
    <message>
        <source>Add files to pending changelist:</source>
        <translation>Dateien zu offener Änderungsliste hinzufügen:</translation>
    </message>
    <message>
        <source>Changelist description</source>
        <translation>Beschreibung der Änderungsliste</translation>
    </message>
    <message>
        <source>Hide Files</source>
        <translation>Dateien ausblenden</translation>
    </message>
    <message>
        <source>Show Files</source>
        <translation>Dateien anzeigen</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Check Out</source>
        <translation>Auschecken</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Fortfahren</translation>
    </message>
    <message>
        <source>Make Writable</source>
        <translation>Beschreibbar machen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Select Pending ChangeList</source>
        <translation>Offene Änderungsliste wählen</translation>
    </message>
    <message>
        <source>Read-Only Assets</source>
        <translation>Schreibgeschützte Assets</translation>
    </message>
    <message>
        <source>Don&apos;t show this dialog again (always use this option)</source>
        <translation>Diesen Dialog nicht mehr anzeigen (immer diese Option verwenden)</translation>
    </message>
    <message>
        <source>Don&apos;t show this dialog again (always use this changelist)</source>
        <translation>Diesen Dialog nicht mehr anzeigen (immer diese Änderungsliste verwenden)</translation>
    </message>
</context>
</TS>
