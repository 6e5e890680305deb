// The demo's main window driven as a user drives it, and what it then shows (status bar, host log,
// the rows' states) held against the real working copy of the sample project on its own svnserve.
#include "DemoHost.h"
#include "OrnisWindow.h"

#include "datamodel/ModelAssetFiles.h"
#include "framework/WorkingCopyFence.h"
#include "testkit/ModalDriver.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <fstream>
#include <iterator>

namespace {

namespace fs = qor4::FileStatus;
using Column = demo::AssetTreeFeeder::Column;
using standin::ModalDriver;

constexpr const char* kBobsNewFile = "props/lantern.qor";
constexpr const char* kBobsRemovedFile = "props/crate.qor";
constexpr const char* kLocalChange = "changed here\n";
constexpr const char* kProgressText = "Perforce Operation in Progress";

class DemoWindowTest : public ::testing::Test {
protected:
    DemoWindowTest() : m_modal(ModalDriver::Options{0, true})
    {
        m_modal.SetProblemHandler([](const std::string& problem) { ADD_FAILURE() << problem; });
        LeaveProgressBoxesAlone(true);
    }

    // The host's progress box comes up by itself when an operation outlasts its grace time (an
    // update or a revert waits for the clock to pass its files' timestamps): left to close itself.
    void LeaveProgressBoxesAlone(bool leave)
    {
        m_modal.SetLeaveAlone([leave](const QWidget* window) {
            const auto* box = qobject_cast<const QMessageBox*>(window);
            return leave && box && box->text().startsWith(QLatin1String(kProgressText));
        });
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_data.isValid());
        m_host = std::make_unique<demo::DemoHost>(m_data.path(), demo::SampleUsers::kMain);
        const demo::HostStart start = m_host->Start();
        ASSERT_TRUE(start.ok) << start.error;
        m_window = std::make_unique<demo::OrnisWindow>(*m_host);
        m_window->show();
    }

    void Trigger(const char* action)
    {
        auto* found = m_window->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(found, nullptr) << action;
        m_seenBefore = m_modal.Seen().size();
        found->trigger();
    }

    // The windows the last triggered action met, by title.
    std::vector<ModalDriver::Window> Windows() const
    {
        return {m_modal.Seen().begin() + static_cast<std::ptrdiff_t>(m_seenBefore), m_modal.Seen().end()};
    }

    QTreeWidget* Tree() const { return m_window->findChild<QTreeWidget*>(QStringLiteral("assetTree")); }

    QTreeWidgetItem* Row(const std::string& asset) const
    {
        QTreeWidget* tree = Tree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = tree->topLevelItem(i);
            if (row->data(0, demo::AssetTreeFeeder::kAssetNameRole).toString().toStdString() == asset) return row;
        }
        return nullptr;
    }

    // The file rows under the asset rows.
    std::vector<const QTreeWidgetItem*> FileRows() const
    {
        std::vector<const QTreeWidgetItem*> rows;
        for (int i = 0; i < Tree()->topLevelItemCount(); ++i)
            for (int j = 0; j < Tree()->topLevelItem(i)->childCount(); ++j)
                rows.push_back(Tree()->topLevelItem(i)->child(j));
        return rows;
    }

    std::string Cell(const std::string& depotPath, int column = Column::kServerColumn) const
    {
        for (const QTreeWidgetItem* row : FileRows())
            if (row->text(Column::kNameColumn).toStdString() == depotPath) return row->text(column).toStdString();
        return "(no row for " + depotPath + ")";
    }

    void Select(const std::string& asset)
    {
        QTreeWidgetItem* row = Row(asset);
        ASSERT_NE(row, nullptr) << asset;
        Tree()->setCurrentItem(row);
    }

    std::string Local(const std::string& depotPath) const { return m_host->Workspace() + "/" + depotPath; }

    // The file's status word as the working copy and the repository answer it now.
    qor4::StatusWord WordOf(const std::string& depotPath) const
    {
        const standin::StatusResult status =
            m_host->Backend().Status(m_host->Session(), {Local(depotPath)}, standin::StatusScope::kWithRepository);
        EXPECT_TRUE(status.Succeeded() && status.words.size() == 1) << depotPath << ": " << status.text;
        return status.words.empty() ? 0 : status.words.front();
    }

    std::string StatusText() const { return m_window->StatusMessage().toStdString(); }
    std::string SessionLine() const
    {
        return m_window->findChild<QLabel*>(QStringLiteral("sessionLine"))->text().toStdString();
    }
    std::string HostLog() const
    {
        return m_window->findChild<QPlainTextEdit*>(QStringLiteral("hostLog"))->toPlainText().toStdString();
    }

    // Every file row against the working copy: the on-disk column as the disk has it, the state
    // column as a status query asked now answers it.
    void ExpectRowsFollowTheWorkingCopy() const
    {
        std::vector<demo::FileState> states;
        const std::vector<const QTreeWidgetItem*> rows = FileRows();
        for (const QTreeWidgetItem* row : rows) {
            demo::FileState& state = states.emplace_back();
            state.depotPath = row->text(Column::kNameColumn).toStdString();
            state.localPath = Local(state.depotPath);
            state.exists = standin::FileExists(state.localPath);
            state.readOnly = state.exists && standin::IsReadOnlyOnDisk(state.localPath);
        }
        ASSERT_FALSE(states.empty());
        ASSERT_TRUE(m_host->AddServerStates(m_host->Session(), states));
        for (std::size_t i = 0; i < states.size(); ++i) {
            EXPECT_EQ(rows[i]->text(Column::kDiskColumn).toStdString(), demo::DescribeDiskState(states[i]))
                << states[i].localPath;
            EXPECT_EQ(rows[i]->text(Column::kServerColumn).toStdString(), demo::DescribeServerState(states[i]))
                << states[i].localPath;
        }
    }

    // Declared first so that it outlives the window and the host, which may still show boxes as they go.
    ModalDriver m_modal;
    QTemporaryDir m_data;
    std::unique_ptr<demo::DemoHost> m_host;
    std::unique_ptr<demo::OrnisWindow> m_window;
    std::size_t m_seenBefore = 0;
};

// --- The actions, one case each --------------------------------------------------------------------

enum class Act { kCheckOutRefused, kGetLatest, kRevert, kRevertDeclined, kMarkForAdd, kRefresh };

struct ActionCase {
    const char* name;
    Act act;
    const char* asset;  // selected before the action; null: none
    const char* action; // the action's objectName
    const char* status; // what the status bar must say
    const char* log;    // what the host log must say; null: nothing asked
};

class DemoWindowActionTest : public DemoWindowTest, public ::testing::WithParamInterface<ActionCase> {
protected:
    const std::vector<std::string> hero{"chars/hero.qor", "chars/hero_diffuse.tex", "chars/hero_normal.tex"};

    // What the working copy holds before the action, and the box it will answer.
    void Prepare(Act act)
    {
        switch (act) {
        case Act::kCheckOutRefused:
            // Writable by hand before; the check-out locks the texture, then releases it again.
            ASSERT_TRUE(m_host->MakeAssetWritable(m_host->FindAsset("lamp")));
            m_window->Refresh();
            ASSERT_EQ(Cell("props/lamp_glow.tex", Column::kDiskColumn), "writable");
            m_modal.PressNext(QMessageBox::Ok);
            break;
        case Act::kRevert:
        case Act::kRevertDeclined: {
            bool cancelled = false;
            ASSERT_TRUE(m_host->CheckOutAsset(m_host->FindAsset("hero"), cancelled));
            ASSERT_TRUE(
                standin::WriteFileContent(standin::WorkingCopyFence(m_host->Workspace()), Local(hero[0]), kLocalChange)
                    .Succeeded());
            m_window->Refresh();
            m_modal.PressNext(act == Act::kRevert ? QMessageBox::Yes : QMessageBox::No);
            break;
        }
        case Act::kMarkForAdd: {
            // A new asset saved while no session was open and the password was not given: its files are
            // on disk, outside revision control, and the save said so naming the account.
            m_host->Disconnect();
            ASSERT_NE(m_host->CreateAsset("desk", 1), nullptr);
            m_modal.AnswerNext(ModalDriver::Click(QStringLiteral("cancelButton")), QStringLiteral("Cancel"));
            const demo::SaveOutcome saved = m_host->Save();
            ASSERT_TRUE(saved.failures.empty() && !saved.vetoed);
            EXPECT_EQ(saved.leftOut.Describe(), "Revision control is not connected (alice at " + m_host->ServerUrl() +
                                                    "): not added to revision control: desk\n");
            ASSERT_TRUE(m_host->Connect(demo::SampleUsers::kPassword).connected);
            m_window->Refresh();
            ASSERT_EQ(Cell("props/desk.qor"), "not in the database");
            break;
        }
        case Act::kRefresh: {
            // Bob adds a new asset and deletes one in his own working copy, and submits; alice's working
            // copy is then updated by another program, behind the window's back.
            standin::RevisionBackend& backend = m_host->Backend();
            const std::string bobs = m_host->Project().WorkingCopy(demo::SampleUsers::kOther).toStdString();
            const standin::LoginResult login = backend.OpenSession(
                {demo::SampleUsers::kOther, demo::SampleUsers::kPassword, m_host->ServerUrl(), bobs, {}});
            ASSERT_TRUE(login.Succeeded()) << login.text;
            const std::string added = bobs + "/" + kBobsNewFile;
            ASSERT_TRUE(standin::WriteFileContent(standin::WorkingCopyFence(bobs), added, "lantern\n").Succeeded());
            ASSERT_TRUE(backend.Add(login.session, {added}, "").Succeeded());
            ASSERT_TRUE(backend.Delete(login.session, {bobs + "/" + kBobsRemovedFile}, "").Succeeded());
            const standin::ChangeListResult submitted = backend.Submit(login.session, "");
            backend.CloseSession(login.session);
            ASSERT_TRUE(submitted.Succeeded() && submitted.revision > 0) << submitted.text;
            ASSERT_TRUE(backend.Update(m_host->Session(), {}).Succeeded());
            ASSERT_TRUE(standin::FileExists(Local(kBobsNewFile)));
            ASSERT_FALSE(standin::FileExists(Local(kBobsRemovedFile)));
            break;
        }
        case Act::kGetLatest:
            ASSERT_NE(WordOf("props/lamp.qor") & fs::kNotAtHead, 0u);
            break;
        }
    }

    // What the action leaves, beyond the status bar, the log and the rows.
    void ExpectAfter(Act act)
    {
        switch (act) {
        case Act::kCheckOutRefused:
            ASSERT_EQ(Windows().size(), 1u);
            EXPECT_NE(Windows()[0].text.indexOf(QStringLiteral("not at the head revision")), -1);
            EXPECT_EQ(WordOf("props/lamp_glow.tex") & fs::kLockedByMe, 0u);
            EXPECT_TRUE(standin::IsReadOnlyOnDisk(Local("props/lamp_glow.tex")));
            EXPECT_EQ(Cell("props/lamp_glow.tex", Column::kDiskColumn), "read-only");
            break;
        case Act::kGetLatest:
            EXPECT_EQ(WordOf("props/lamp.qor") & fs::kNotAtHead, 0u);
            EXPECT_EQ(Cell("props/lamp.qor"), "up to date");
            break;
        case Act::kRevert:
        case Act::kRevertDeclined: {
            ASSERT_EQ(Windows().size(), 1u);
            const std::string asked = Windows()[0].text.toStdString();
            EXPECT_NE(asked.find("the local changes of " + hero[0] + ", " + hero[1] + ", " + hero[2]),
                      std::string::npos)
                << asked;
            EXPECT_NE(asked.find("your lock on " + hero[0]), std::string::npos) << asked;
            const bool reverted = act == Act::kRevert;
            for (const std::string& file : hero) {
                EXPECT_EQ((WordOf(file) & (fs::kCheckedOut | fs::kLockedByMe)) == 0, reverted) << file;
                EXPECT_EQ(standin::IsReadOnlyOnDisk(Local(file)), reverted) << file;
                EXPECT_EQ(Cell(file), reverted ? "up to date" : "checked out in default changelist; locked by me");
            }
            std::ifstream content(Local(hero[0]));
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(content), {}) == kLocalChange, !reverted);
            break;
        }
        case Act::kMarkForAdd:
            for (const char* file : {"props/desk.qor", "props/desk_map1.tex"}) {
                EXPECT_NE(WordOf(file) & fs::kMarkedForAdd, 0u) << file;
                EXPECT_EQ(Cell(file), "marked for add in default changelist");
            }
            break;
        case Act::kRefresh:
            EXPECT_NE(Row("lantern"), nullptr);
            EXPECT_EQ(Row("crate"), nullptr);
            EXPECT_EQ(m_host->FindAsset("crate"), nullptr);
            EXPECT_EQ(Cell(kBobsNewFile), "up to date");
            break;
        }
    }
};

const ActionCase kActionCases[] = {
    {"RefusedCheckOutLeavesTheTextureReadOnlyAndSaysSo", Act::kCheckOutRefused, "lamp", "checkOutAction",
     "lamp was not checked out.", nullptr},
    {"GetLatestBringsTheAssetToTheHead", Act::kGetLatest, "lamp", "getLatestAction", "Updated to revision",
     "Get Latest of lamp: at revision"},
    {"RevertConfirmedDropsTheChangesAndTheLock", Act::kRevert, "hero", "revertAction",
     "Reverted hero: local changes dropped, lock released.",
     "Reverted hero: its local changes are dropped and its lock released."},
    {"RevertDeclinedKeepsEverything", Act::kRevertDeclined, "hero", "revertAction", "Nothing was reverted.", nullptr},
    {"MarkForAddTakesAnAssetLeftOutside", Act::kMarkForAdd, "desk", "markForAddAction",
     "desk is marked for add in the default changelist.", "Marked for add: desk"},
    {"RefreshListsNewAssetsAndDropsRemovedOnes", Act::kRefresh, nullptr, "refreshAction",
     "New in the working copy: lantern. Gone from the working copy: crate.",
     "Refresh: new in the working copy: lantern"},
};

TEST_P(DemoWindowActionTest, TellsItsOutcomeAndTheRowsFollowTheWorkingCopy)
{
    const ActionCase& test = GetParam();
    ASSERT_NO_FATAL_FAILURE(Prepare(test.act));
    if (test.asset) Select(test.asset);
    Trigger(test.action);

    EXPECT_NE(StatusText().find(test.status), std::string::npos) << StatusText();
    if (test.log) {
        EXPECT_NE(HostLog().find(test.log), std::string::npos) << HostLog();
    }
    EXPECT_EQ(m_modal.Pending(), 0u) << "a box the action should have shown did not come";
    for (const ModalDriver::Window& window : Windows())
        EXPECT_TRUE(window.expected) << "unexpected window " << window.title.toStdString() << ": "
                                     << window.text.toStdString();
    ExpectRowsFollowTheWorkingCopy();
    ExpectAfter(test.act);
}

INSTANTIATE_TEST_SUITE_P(Actions, DemoWindowActionTest, ::testing::ValuesIn(kActionCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- The session -------------------------------------------------------------------------------------

TEST_F(DemoWindowTest, ACancelInFrontOfAStoppedServerKeepsTheSessionAndNothingAsksForThePassword)
{
    const std::string waiting = "has not answered since the last operation was cancelled; the session of alice is kept";
    ASSERT_TRUE(m_host->FreezeServer(true));
    Select("hero");
    LeaveProgressBoxesAlone(false);
    m_modal.AnswerNext(ModalDriver::Click(QStringLiteral("Cancel")), QStringLiteral("Cancel in the progress box"));
    m_modal.PressNext(QMessageBox::Ok);
    Trigger("getLatestAction");
    LeaveProgressBoxesAlone(true);
    ASSERT_EQ(Windows().size(), 2u) << "the progress box, then what became of the update";
    EXPECT_TRUE(Windows()[0].text.startsWith(QLatin1String(kProgressText)));
    EXPECT_EQ(Windows()[1].title, QStringLiteral("Get Latest"));

    // While the server is still silent: no window, no password asked, the session kept.
    for (const char* action : {"getLatestAction", "refreshAction", "connectAction"}) {
        Trigger(action);
        for (const ModalDriver::Window& window : Windows())
            ADD_FAILURE() << action << " showed " << window.title.toStdString() << ": " << window.text.toStdString();
        EXPECT_NE(StatusText().find(waiting), std::string::npos) << action << ": " << StatusText();
        EXPECT_NE(StatusText().find(m_host->ServerUrl()), std::string::npos) << StatusText();
        EXPECT_NE(SessionLine().find("session kept"), std::string::npos) << SessionLine();
    }
    EXPECT_NE(m_host->Session(), 0u);

    ASSERT_TRUE(m_host->FreezeServer(false));
    Trigger("refreshAction");
    EXPECT_TRUE(Windows().empty());
    EXPECT_EQ(StatusText(), "Refreshed; no asset came or went.");
    EXPECT_NE(SessionLine().find("session open"), std::string::npos) << SessionLine();
    Trigger("connectAction");
    EXPECT_TRUE(Windows().empty()) << "a live session needs no password";
    EXPECT_NE(StatusText().find("Connected already as alice"), std::string::npos) << StatusText();
    Select("hero");
    Trigger("getLatestAction");
    EXPECT_TRUE(Windows().empty());
    EXPECT_NE(StatusText().find("at revision"), std::string::npos) << StatusText();
    ExpectRowsFollowTheWorkingCopy();
}

TEST_F(DemoWindowTest, AnExpiredSessionIsToldWithItsUserAndServer)
{
    Trigger("expireAction");
    EXPECT_NE(StatusText().find("alice at " + m_host->ServerUrl()), std::string::npos) << StatusText();
    m_modal.PressNext(QMessageBox::No);
    Select("hero");
    Trigger("getLatestAction");
    ASSERT_EQ(Windows().size(), 1u);
    const std::string asked = Windows()[0].text.toStdString();
    const std::string account = "(alice at " + m_host->ServerUrl() + ")";
    EXPECT_NE(asked.find(account), std::string::npos) << asked;
    EXPECT_NE(StatusText().find(account), std::string::npos) << StatusText();
    EXPECT_NE(StatusText().find("Nothing was updated."), std::string::npos) << StatusText();
    // A report longer than the status bar is wide wraps and is shown whole beside the session line.
    m_window->resize(600, m_window->height()); // narrower than any such report
    m_window->show();
    QCoreApplication::processEvents();
    const auto* message = m_window->findChild<QLabel*>(QStringLiteral("statusMessage"));
    ASSERT_NE(message, nullptr);
    EXPECT_GT(message->fontMetrics().horizontalAdvance(message->text()), message->width()) << "a report to wrap";
    EXPECT_GE(message->height(), message->heightForWidth(message->width())) << StatusText();
}

} // namespace
