// FlowFixture: the stand-in host (HostFixture) plus what the save and check-out flows need: dirty
// assets, answers for the changelist dialog that record what it showed, and file states.
#pragma once

#include "HostFixture.h"

#include <QString>
#include <QStringList>

#include <ostream>
#include <string>
#include <vector>

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

class FlowFixture : public HostFixture {
protected:
    using Props = IRevisionControlPropertiesMgr;
    using Action = Props::ActionWhenEditingReadOnlyAsset;

    enum class DialogButton { CheckOut, Continue, MakeWritable, Cancel };

    // What one changelist dialog showed when it was answered.
    struct DialogView {
        QString title;
        QString message;
        QString assetsText;
        QStringList files;
        QString checkOutText;
        QString dontShowAgainText;
        QStringList shownButtons; // texts of the visible push buttons, in creation order
        bool continueVisible = false;
        bool makeWritableVisible = false;
    };

    struct FileState {
        bool exists = false;
        bool readOnly = false;
        qor4::StatusWord status = 0;
        std::string changeList;
        bool operator==(const FileState& other) const
        {
            return exists == other.exists && readOnly == other.readOnly && status == other.status &&
                   changeList == other.changeList;
        }
        friend void PrintTo(const FileState& state, std::ostream* out)
        {
            *out << "{exists " << state.exists << ", readOnly " << state.readOnly << ", status " << state.status
                 << ", changelist \"" << state.changeList << "\"}";
        }
    };
    // Writable files on disk, opened for edit in changeList.
    static FileState CheckedOutIn(const std::string& changeList)
    {
        return {true, false, qor4::FileStatus::kCheckedOut | qor4::FileStatus::kLockedByMe, changeList};
    }

    // Queues the answer for the next modal window, which must be the changelist dialog: selects
    // changeList ("" is "Default"), ticks the remember box when remember, and presses button.
    void AnswerDialog(DialogButton button, const std::string& changeList = std::string(), bool remember = false);
    // The changelist dialogs answered so far, in order.
    const std::vector<DialogView>& Dialogs() const { return dialogs; }

    // A checked-in (read-only) asset with a dirty metadata object, so that the next save writes it.
    standin::DbObject* AddDirtyCheckedInAsset(const std::string& name, int externalFiles = 0);
    // Marks the asset as edited again (a new dirty metadata object).
    void Touch(standin::DbObject* asset);
    // An asset created since the last save, with new files in the workspace folder.
    standin::DbObject* AddNewAsset(const std::string& name, const std::vector<std::string>& externalFiles = {});

    std::string CreateChangeList(const std::string& description);
    void CheckOutByHand(const std::vector<std::string>& files, const std::string& changeList);

    FileState StateOf(const std::string& file);
    void ExpectStates(const std::vector<std::string>& files, const FileState& expected);
    // The same once the server answers again after a stop, and for a while: a lock request the
    // stopped server received comes into force when it wakes, and the next operations release it.
    void ExpectStatesOnceSettled(const std::vector<std::string>& files, const FileState& expected);
    static std::string ContentOf(const std::string& file);

    Action StoredAction();
    std::string StoredChangeList();
    bool StoredPrompt();

    std::vector<standin::RecordedCall> ServerCallsOf(const std::string& operation);
    // The file's status as the current user sees it through a trusting session of their own.
    qor4::StatusWord WordSeenByUser(const std::string& file);

    // Message boxes the modal driver answered, by title; their buttons without "Show Details...".
    std::vector<ModalDriver::Window> BoxesTitled(const QString& title);
    std::vector<ModalDriver::Window> CheckoutErrors() { return BoxesTitled(QStringLiteral("Checkout Error")); }
    // The helper's check-out as the host asks for it; its answer for "cancelled" goes to wasCancelled.
    bool CheckOut(const std::vector<standin::DbObject*>& objects)
    {
        return Helper().CheckOutObjects(Handles(objects), &wasCancelled, false);
    }
    bool wasCancelled = true;

private:
    std::vector<DialogView> dialogs;
};
