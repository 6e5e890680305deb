#include "FlowFixture.h"

#include "zrChangeListSelectionDialog.h"

#include "qfilelistwidget.h"
#include "revisioncontrol/UserParameters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include <algorithm>
#include <chrono>

namespace {

constexpr const char* kAssetExtension = ".qor";
constexpr int kDefaultEntry = 1;

template <class T> T* Child(QWidget* parent, const char* name)
{
    return parent->findChild<T*>(QString::fromLatin1(name));
}

bool Shown(QWidget* widget)
{
    return widget && !widget->isHidden();
}

int EntryOf(QComboBox* combo, const std::string& changeList)
{
    if (changeList.empty()) return kDefaultEntry;
    const QString prefix = QString::fromStdString(changeList) + QLatin1Char(' ');
    for (int i = kDefaultEntry + 1; i < combo->count(); ++i)
        if (combo->itemText(i).startsWith(prefix)) return i;
    return -1;
}

} // namespace

void FlowFixture::AnswerDialog(DialogButton button, const std::string& changeList, bool remember)
{
    Modal().AnswerNext([this, button, changeList, remember](QWidget* window) {
        auto* dialog = qobject_cast<zrChangeListSelectionDialog*>(window);
        if (!dialog) {
            ADD_FAILURE() << "expected the changelist dialog, got " << window->metaObject()->className() << " \""
                          << window->windowTitle().toStdString() << "\"";
            window->close();
            return;
        }
        DialogView view;
        view.title = dialog->windowTitle();
        if (auto* label = Child<QLabel>(dialog, "messageLabel"); Shown(label)) view.message = label->text();
        if (auto* assets = Child<QTextEdit>(dialog, "assetsEdit")) view.assetsText = assets->toPlainText();
        if (auto* list = dialog->findChild<QFileListWidget*>())
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                view.files << list->topLevelItem(i)->text(QFileListWidget::FileColumn);
        auto* combo = Child<QComboBox>(dialog, "changeListCombo");
        view.checkOutText = Child<QPushButton>(dialog, "checkOutButton")->text();
        view.continueVisible = Shown(Child<QPushButton>(dialog, "continueButton"));
        view.makeWritableVisible = Shown(Child<QPushButton>(dialog, "makeWritableButton"));
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            if (Shown(button)) view.shownButtons << button->text();
        auto* box = Child<QCheckBox>(dialog, "dontShowAgainCheckBox");
        view.dontShowAgainText = box->text();
        dialogs.push_back(view);

        box->setChecked(remember);
        const char* buttonName = "cancelButton";
        switch (button) {
        case DialogButton::CheckOut: {
            buttonName = "checkOutButton";
            const int entry = combo ? EntryOf(combo, changeList) : -1;
            if (entry < 0) {
                ADD_FAILURE() << "changelist \"" << changeList << "\" is not offered";
                buttonName = "cancelButton";
            } else {
                combo->setCurrentIndex(entry);
            }
            break;
        }
        case DialogButton::Continue:
            buttonName = "continueButton";
            break;
        case DialogButton::MakeWritable:
            buttonName = "makeWritableButton";
            break;
        case DialogButton::Cancel:
            break;
        }
        Child<QPushButton>(dialog, buttonName)->click();
    });
}

standin::DbObject* FlowFixture::AddDirtyCheckedInAsset(const std::string& name, int externalFiles)
{
    standin::DbObject* asset = AddCheckedInAsset(name, externalFiles);
    Touch(asset);
    return asset;
}

void FlowFixture::Touch(standin::DbObject* asset)
{
    Manager().AddObject(asset, asset->GetName() + ".meta", standin::ObjectKind::Metadata);
}

standin::DbObject* FlowFixture::AddNewAsset(const std::string& name, const std::vector<std::string>& externalFiles)
{
    return Manager().CreateAsset(
        {name, LocalPath(std::string(kAssetFolder) + name + kAssetExtension), externalFiles, false});
}

std::string FlowFixture::CreateChangeList(const std::string& description)
{
    const standin::ChangeListResult created = Server().CreateChangeList(CurrentSession(), description);
    EXPECT_TRUE(created.Succeeded()) << created.text;
    return created.changeList;
}

void FlowFixture::CheckOutByHand(const std::vector<std::string>& files, const std::string& changeList)
{
    const standin::ServerResult opened = Server().Edit(CurrentSession(), files, changeList);
    EXPECT_TRUE(opened.Succeeded()) << opened.text;
}

FlowFixture::FileState FlowFixture::StateOf(const std::string& file)
{
    FileState state;
    const QFileInfo info(QString::fromStdString(file));
    state.exists = info.exists();
    state.readOnly = state.exists && !(info.permissions() & QFile::WriteOwner);
    const standin::StatusResult status = StatusOf({file});
    EXPECT_TRUE(status.Succeeded()) << status.text;
    if (!status.words.empty()) state.status = status.words.front();
    if (!status.changeLists.empty()) state.changeList = status.changeLists.front();
    return state;
}

void FlowFixture::ExpectStates(const std::vector<std::string>& files, const FileState& expected)
{
    for (const std::string& file : files)
        EXPECT_EQ(StateOf(file), expected) << file;
}

void FlowFixture::ExpectStatesOnceSettled(const std::vector<std::string>& files, const FileState& expected)
{
    // A late request lands within moments of the server's waking; the state must then hold a while.
    constexpr auto kSettleWithin = std::chrono::seconds(20);
    constexpr int kStableChecks = 4;
    constexpr int kCheckIntervalMs = 200;
    const auto giveUp = std::chrono::steady_clock::now() + kSettleWithin;
    const auto settled = [&] {
        return std::all_of(files.begin(), files.end(),
                           [&](const std::string& file) { return StateOf(file) == expected; });
    };
    int stable = 0;
    while (stable < kStableChecks && std::chrono::steady_clock::now() < giveUp) {
        stable = settled() ? stable + 1 : 0;
        QTest::qWait(kCheckIntervalMs);
    }
    ExpectStates(files, expected);
}

std::string FlowFixture::ContentOf(const std::string& file)
{
    QFile stream(QString::fromStdString(file));
    if (!stream.open(QIODevice::ReadOnly)) return std::string();
    return stream.readAll().toStdString();
}

FlowFixture::Action FlowFixture::StoredAction()
{
    Action action = IRevisionControlPropertiesMgr::kContinue;
    EXPECT_TRUE(Properties().GetActionWhenEditingReadOnlyAsset(action));
    return action;
}

std::string FlowFixture::StoredChangeList()
{
    std::string changeList;
    Properties().GetChangeListToUseWhenAutoCheckingOut(changeList);
    return changeList;
}

bool FlowFixture::StoredPrompt()
{
    bool prompt = false;
    Properties().GetPromptForChangeListWhenCheckingOut(prompt);
    return prompt;
}

std::vector<ModalDriver::Window> FlowFixture::BoxesTitled(const QString& title)
{
    std::vector<ModalDriver::Window> boxes;
    for (const ModalDriver::Window& window : Modal().Seen())
        if (window.className == QLatin1String("QMessageBox") && window.title == title) {
            boxes.push_back(window);
            boxes.back().buttons.removeIf(
                [](const QString& text) { return text.startsWith(QLatin1String("Show Details")); });
        }
    return boxes;
}

std::vector<standin::RecordedCall> FlowFixture::ServerCallsOf(const std::string& operation)
{
    return ServerRecord().CallsOf(operation);
}

qor4::StatusWord FlowFixture::WordSeenByUser(const std::string& file)
{
    standin::SvnBackend backend;
    backend.SetConfigurationFolder(Sandbox().ConfigFolder());
    std::string failure;
    const standin::SessionId session = Sandbox().Open(backend, kUser, failure);
    EXPECT_NE(session, 0) << failure;
    const standin::StatusResult status = backend.Status(session, {file}, standin::StatusScope::kWithRepository);
    EXPECT_TRUE(status.Succeeded()) << status.text;
    return status.words.empty() ? 0 : status.words.front();
}
