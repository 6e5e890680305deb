// What the pre-save check-out and the interactive check-out share once read-only assets are about to
// be edited: the objects saved together, the check of a stored check-out's changelist, the question
// with its remembered answer, and the "Checkout Error" report.
#pragma once

#include "CRevisionControlUIHelper.h"

#include <QMessageBox>
#include <QString>

#include <set>
#include <string>

class QWidget;

class ReadOnlyAssetsQuestion {
public:
    // How the question looks.
    struct Setup {
        QString assetsText;
        std::set<std::string> files;
        bool selectChangeList = true;
        QWidget* parent = nullptr;
        QString title;
        QString message;
        bool offerMakeWritable = false;
        bool offerContinue = false;
    };
    // The dialog's result, the changelist chosen for a check-out, and whether the answer was stored.
    struct Answer {
        int result = 0;
        std::string changelist;
        bool remembered = false;
    };

    // The objects followed by those saved together with them. Taken by value: a save hands over a
    // list of every dirty object, which is then extended rather than copied.
    static DbObjectHandles WithRelatedObjects(qor4::IDataControl& dataControl, DbObjectHandles objects);
    // False when the stored changelist is no longer valid: the stored action then becomes kPrompt.
    static bool KeepStoredCheckOut(IRevisionControlPropertiesMgr& properties, qor4::IDataControl& dataControl,
                                   const std::string& changelist);
    // Asks; a ticked remember box stores the answer as the action to take from now on.
    static Answer Ask(IRevisionControlPropertiesMgr& properties, const qor4::QORPtr<qor4::IDataControl>& dataControl,
                      const Setup& setup);
    // The critical "Checkout Error" box; answers the button pressed.
    static QMessageBox::StandardButton ShowCheckoutError(const std::string& message, const std::string& details,
                                                         QMessageBox::StandardButtons buttons,
                                                         QMessageBox::StandardButton defaultButton,
                                                         QMessageBox::StandardButton escapeButton);
    // The same report without windows: one error entry in the host's log.
    static void LogCheckoutError(const std::string& message, const std::string& details);
};
