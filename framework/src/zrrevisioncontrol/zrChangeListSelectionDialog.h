// Asks which pending changelist receives a set of files, or whether to continue, make the files
// writable or cancel. Talks to the data control itself to list, describe and create changelists.
#pragma once

#include "qor4/IDataControl.h"
#include "qor4/QORPtr.h"

#include <QDialog>
#include <QString>

#include <set>
#include <string>

class QCheckBox;
class QComboBox;
class QFileListWidget;
class QLabel;
class QPushButton;
class QTextEdit;

class zrChangeListSelectionDialog : public QDialog {
    Q_OBJECT

public:
    // What exec() returns; these are passed to done(), so 0 and 1 are not Rejected and Accepted.
    enum Result { ResultCheckOut = 0, ResultContinue = 1, ResultCancel = 2, ResultMakeWritable = 3 };
    enum ComboIndex { NewIndex = 0, DefaultIndex = 1, FirstChangeListIndex = 2 };
    // Names for the constructor's flags.
    static constexpr bool kShowFilesAtStart = true;
    static constexpr bool kHideFilesAtStart = false;
    static constexpr bool kSelectChangeList = true;
    static constexpr bool kDefaultChangeListOnly = false;
    // The longest entry text in the changelist box, in bytes.
    static constexpr std::size_t kMaxLabelBytes = 80;

    zrChangeListSelectionDialog(qor4::QORPtr<qor4::IDataControl> dataControl, QString assetsText,
                                const std::set<std::string>& files, bool showFilesAtStart, bool selectChangeList,
                                QWidget* parent);
    ~zrChangeListSelectionDialog() override;

    void setMessage(const QString& text);
    void setCheckOutButtonText(const QString& text);
    void setContinueButtonVisible(bool visible);
    void setMakeWritableButtonVisible(bool visible);
    std::string getChangeList() const;
    bool isDontShowAgainChecked() const;

public slots:
    virtual void refreshData();
    int exec() override;
    void accept() override;
    void reject() override;
    virtual void continueSlot();
    virtual void makeWritableSlot();
    virtual void showFiles();
    virtual void showFilesInExplorer();
    virtual void onChangeListChanged(int index);

private:
    void setDontShowAgainText(bool optionVisible);

    qor4::QORPtr<qor4::IDataControl> dataControl;
    QLabel* messageLabel = nullptr;
    QComboBox* changeListCombo = nullptr;
    QTextEdit* descriptionEdit = nullptr;
    QFileListWidget* fileList = nullptr;
    QCheckBox* dontShowAgainCheckBox = nullptr;
    std::string changeList;
    std::set<std::string> files;
    QPushButton* checkOutButton = nullptr;
    QPushButton* continueButton = nullptr;
    QPushButton* showFilesButton = nullptr;
    QPushButton* makeWritableButton = nullptr;
};

// The entry text for a changelist: name, one blank, description, cut to kMaxLabelBytes without
// splitting a UTF-8 sequence.
std::string MakeChangeListLabel(const std::string& name, const std::string& description);
// The changelist name at the start of an entry text: the bytes before the first blank, control
// character or non-ASCII byte.
std::string ChangeListNameFromLabel(const std::string& label);
