// A stopped server during a save or a check-out, through svnserve and through Apache over TLS.
#include "FlowFixture.h"

#include "revisioncontrol/WorkerBackend.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <fstream>
#include <thread>

namespace {

const QString kProgressText = QStringLiteral("Perforce Operation in Progress, press Cancel to abort");
constexpr std::chrono::seconds kTestDeadline{2};
// Far below the default deadline, far above the grace time and the deadline of these tests.
constexpr qint64 kSanityBoundMs = 20000;
constexpr const char* kTypedPassword = "typed-secret";

class ServerTroubleTest : public FlowFixture, public ::testing::WithParamInterface<SvnSandbox::Transport> {
protected:
    void SetUp() override
    {
        transport = GetParam();
        FlowFixture::SetUp();
        Subversion().SetDeadline(kTestDeadline);
    }
    void TearDown() override
    {
        ResumeServer();
        FlowFixture::TearDown();
    }
    void StopServer() { ASSERT_TRUE(Sandbox().Server().Freeze(true)); }
    void ResumeServer() { EXPECT_TRUE(Sandbox().Server().Freeze(false)) << "the server takes connections again"; }
    // Resumes the server and waits until the host has seen it answer again after a Cancel.
    void ResumeServerAndWait(const standin::WorkerBackend* worker = nullptr)
    {
        ResumeServer();
        QElapsedTimer waited;
        waited.start();
        while ((worker ? *worker : Worker()).WaitingForServer() && waited.elapsed() < kSanityBoundMs)
            QTest::qWait(20);
    }
};

TEST_P(ServerTroubleTest, CancelInTheProgressBoxOfAStoppedServerVetoesTheSaveAndLocksNothing)
{
    standin::DbObject* asset = AddDirtyCheckedInAsset("hero", 1);
    Properties().SetActionWhenEditingReadOnlyAsset(Props::kCheckOut);
    StopServer();
    Modal().PressNext(QMessageBox::Cancel); // the progress box
    Modal().PressNext(QMessageBox::Ok);     // the check-out error
    AnswerDialog(DialogButton::Cancel);     // asked again after the failed check-out
    QElapsedTimer clock;
    clock.start();

    const standin::SaveResult result = Library().Save();

    EXPECT_LT(clock.elapsed(), kTestDeadline.count() * 1000) << "Cancel returned control before the deadline";
    EXPECT_TRUE(result.vetoed);
    ASSERT_EQ(Modal().Seen().size(), 3u);
    EXPECT_EQ(Modal().Seen()[0].text, kProgressText);
    EXPECT_EQ(Modal().Seen()[1].title, "Checkout Error");
    EXPECT_TRUE(Modal().Seen()[1].text.contains(QString::fromLatin1(standin::ServerText::kCancelled)));
    EXPECT_FALSE(Modal().Seen()[1].detailedText.contains(QLatin1String("did not answer")))
        << "the failure report does not wait for the server the user gave up on";
    EXPECT_EQ(Modal().Seen()[2].title, "Check Out Before Saving");
    ResumeServer();
    ExpectStatesOnceSettled(FilesOf(asset), {true, true, 0, ""});

    // Once the server answers again, the next operation goes through.
    ResumeServerAndWait();
    EXPECT_TRUE(CheckOut({asset}));
    ExpectStates({asset->GetAssetFile()}, CheckedOutIn(""));
}

// The deadline ends the wait: on the UI thread behind the progress box, the server's address in the
// error; on a refresh's own thread without any window.
TEST_P(ServerTroubleTest, AStoppedServerMeetsTheDeadlineWithItsUrlInTheErrorAndTheBoxOnlyOnTheUiThread)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    StopServer();
    std::atomic<bool> done{false};
    standin::StatusResult status;
    std::thread refresh([&] {
        status = Worker().Status(CurrentSession(), {asset->GetAssetFile()}, standin::StatusScope::kWithRepository);
        done = true;
    });
    QElapsedTimer waited;
    waited.start();
    while (!done && waited.elapsed() < kSanityBoundMs)
        QTest::qWait(20);
    refresh.join();
    EXPECT_TRUE(Modal().Seen().empty()) << "the progress box belongs to the UI thread";
    EXPECT_TRUE(status.Failed());
    EXPECT_NE(status.text.find(Sandbox().Url()), std::string::npos) << status.text;

    Modal().WatchNext();                // the progress box, closed by the operation's end
    Modal().PressNext(QMessageBox::Ok); // the check-out error
    EXPECT_FALSE(CheckOut({asset}));

    ASSERT_EQ(Modal().Seen().size(), 2u);
    EXPECT_EQ(Modal().Seen()[0].text, kProgressText);
    EXPECT_EQ(Modal().Seen()[1].title, "Checkout Error");
    EXPECT_TRUE(Modal().Seen()[1].detailedText.contains(QString::fromStdString(Sandbox().Url())))
        << Modal().Seen()[1].detailedText.toStdString();
    ResumeServer();
    ExpectStatesOnceSettled({asset->GetAssetFile()}, {true, true, 0, ""});
}

TEST_P(ServerTroubleTest, ASubmitCancelledInFrontOfAStoppedServerSaysNothingWasSubmittedAndTheLocksAreHeld)
{
    standin::DbObject* hero = AddCheckedInAsset("hero");
    standin::DbObject* crate = AddCheckedInAsset("crate");
    const std::vector<std::string> files = {hero->GetAssetFile(), crate->GetAssetFile()};
    CheckOutByHand(files, "");
    StopServer();
    Modal().PressNext(QMessageBox::Cancel); // the progress box

    // As the host submits: through the services' backend, on the worker, with the progress box.
    const standin::ChangeListResult submitted = FileControl().Service().Backend().Submit(CurrentSession(), "");

    ASSERT_EQ(Modal().Seen().size(), 1u);
    EXPECT_EQ(Modal().Seen()[0].text, kProgressText);
    EXPECT_TRUE(submitted.Failed());
    EXPECT_EQ(submitted.revision, 0);
    EXPECT_EQ(submitted.text.find("Nothing"), 0u) << submitted.text;
    EXPECT_NE(submitted.text.find(standin::ServerText::kCancelled), std::string::npos) << submitted.text;
    ResumeServer();
    ExpectStates(files, CheckedOutIn(""));
}

// A submit whose answer was lost while the repository took it: the next check-out tells the host's
// log what became of it, and goes through instead of finding the files behind.
TEST_P(ServerTroubleTest, ASubmitWhoseAnswerWasLostIsToldInTheHostsLogAndTheAssetCanBeCheckedOutAgain)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    CheckOutByHand(FilesOf(asset), "");
    {
        std::ofstream(asset->GetAssetFile(), std::ios::trunc) << "hero, edited";
    }
    // The server takes longer over the commit than the client waits.
    ASSERT_TRUE(Sandbox().Server().SetHook("pre-commit", "#!/bin/sh\nsleep 3\nexit 0\n"));
    const auto started = std::chrono::steady_clock::now();
    const standin::ChangeListResult submitted = Subversion().Submit(CurrentSession(), "");
    ASSERT_EQ(submitted.code, standin::ServerCode::kOutcomeUnknown) << submitted.text;
    // Until the repository has taken it (its youngest revision is kept in db/current).
    const std::string current = Sandbox().Server().FileUrl().substr(std::string("file://").size()) + "/db/current";
    int youngest = 0;
    while ((std::ifstream(current) >> youngest, youngest) < 2 &&
           std::chrono::steady_clock::now() - started < std::chrono::milliseconds(kSanityBoundMs))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(youngest, 2);
    ASSERT_TRUE(Sandbox().Server().SetHook("pre-commit", ""));

    EXPECT_TRUE(HelperInterface().CheckOutObject(Handle(asset), &wasCancelled, false));

    EXPECT_FALSE(wasCancelled);
    EXPECT_EQ(LogTexts(Log::MsgType::Info),
              std::vector<std::string>{std::string(standin::ServerText::kSettled) +
                                       "Submitted as revision 2 (confirmed after the connection was lost): changelist "
                                       "default."});
    ExpectStates({asset->GetAssetFile()}, CheckedOutIn(""));
    EXPECT_EQ(ContentOf(asset->GetAssetFile()), "hero, edited");
}

// A cancel ends the wait, not the session. While the server still does not answer, operations say so
// without claiming a user's cancel, and logins leave the session alone; once it answers, the next
// check-out goes through in the same session and with the password typed before.
TEST_P(ServerTroubleTest, ACancelEndsTheWaitButNotTheSessionOrItsPassword)
{
    standin::DbObject* hero = AddCheckedInAsset("hero");
    standin::DbObject* crate = AddCheckedInAsset("crate");
    standin::DbObject* lamp = AddCheckedInAsset("lamp");
    // A session whose password only memory holds: the one typed into the password dialog.
    ExpireSession(kTypedPassword);
    AnswerDialog(DialogButton::CheckOut, "", true);
    AnswerPasswordNext(QString::fromLatin1(kTypedPassword));
    ASSERT_TRUE(CheckOut({hero}));
    const standin::SessionId session = CurrentSession();
    StopServer();
    Modal().PressNext(QMessageBox::Cancel); // the progress box
    Modal().PressNext(QMessageBox::Ok);     // the cancelled check-out's error
    Modal().PressNext(QMessageBox::Ok);     // the next check-out's error, at once

    EXPECT_FALSE(CheckOut({crate}));
    EXPECT_FALSE(CheckOut({crate}));
    Properties().SetUseSourceDataControl(true); // pushes the stored account, logging in without a password
    const standin::ModelSession::LoginOutcome connect =
        Model().Login(kUser, kTypedPassword, Sandbox().Url(), Sandbox().WorkingCopy(kUser));

    ASSERT_EQ(Modal().Seen().size(), 5u);
    const ModalDriver::Window& cancelledError = Modal().Seen()[3];
    const ModalDriver::Window& laterError = Modal().Seen()[4];
    EXPECT_EQ(Modal().Seen()[2].text, kProgressText);
    EXPECT_TRUE(cancelledError.text.contains(QString::fromLatin1(standin::ServerText::kCancelled)));
    EXPECT_EQ(laterError.title, "Checkout Error");
    for (const QString& text : {cancelledError.detailedText, laterError.text, laterError.detailedText,
                                QString::fromStdString(connect.message)}) {
        EXPECT_FALSE(text.contains(QLatin1String("cancelled by user"), Qt::CaseInsensitive)) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromStdString(Sandbox().Url() + " has not answered since")))
            << text.toStdString();
    }
    EXPECT_FALSE(connect.Succeeded());
    EXPECT_EQ(CurrentSession(), session) << "no answer is no refusal of the password";

    ResumeServerAndWait();
    EXPECT_TRUE(CheckOut({lamp}));

    EXPECT_EQ(Modal().Seen().size(), 5u) << "no password dialog, nor any other window";
    EXPECT_EQ(CurrentSession(), session);
    ExpectStates({hero->GetAssetFile(), lamp->GetAssetFile()}, CheckedOutIn(""));
    EXPECT_TRUE(StateOf(crate->GetAssetFile()).readOnly);
}

// A Connect given up on in front of a stopped server refused nothing: the session goes on.
TEST_P(ServerTroubleTest, AConnectCancelledInFrontOfAStoppedServerKeepsTheSession)
{
    standin::DbObject* hero = AddCheckedInAsset("hero");
    const standin::SessionId session = CurrentSession();
    StopServer();
    Modal().PressNext(QMessageBox::Cancel); // the progress box

    const standin::ModelSession::LoginOutcome connect =
        Model().Login(kUser, "", Sandbox().Url(), Sandbox().WorkingCopy(kUser));

    ASSERT_EQ(Modal().Seen().size(), 1u);
    EXPECT_EQ(Modal().Seen()[0].text, kProgressText);
    EXPECT_FALSE(connect.Succeeded());
    EXPECT_NE(connect.message.find(standin::ServerText::kCancelled), std::string::npos) << connect.message;
    EXPECT_EQ(CurrentSession(), session);
    ResumeServerAndWait();
    EXPECT_TRUE(CheckOut({hero}));
    EXPECT_EQ(Modal().Seen().size(), 1u) << "no changelist or password dialog for a session that went on";
    EXPECT_EQ(CurrentSession(), session);
    ExpectStates({hero->GetAssetFile()}, CheckedOutIn(""));
}

// A server given up on twice is probed again; closing the host ends the probing at once, not when the
// server answers or the probing's limit has passed.
TEST_P(ServerTroubleTest, ClosingTheHostEndsTheProbingOfAServerGivenUpOnTwice)
{
    struct CancelAtOnce : qor4::ITimeOutDelegate {
        void NotifyCompletion() override {}
        bool WaitForCompletion() override { return true; }
    } cancel;
    standin::DbObject* hero = AddCheckedInAsset("hero");
    auto worker = std::make_unique<standin::WorkerBackend>(
        std::shared_ptr<standin::RevisionBackend>(&Server(), [](standin::RevisionBackend*) {}),
        std::shared_ptr<standin::ServerControl>(&Subversion(), [](standin::ServerControl*) {}));
    worker->SetTimeOutDelegate(&cancel);
    std::string failure;
    const standin::SessionId session = Sandbox().Open(*worker, kUser, failure);
    ASSERT_NE(session, 0) << failure;
    for (int givenUp = 1; givenUp <= 2; ++givenUp) {
        if (givenUp > 1) {
            ResumeServerAndWait(worker.get());
            ASSERT_FALSE(worker->WaitingForServer());
        }
        StopServer();
        EXPECT_TRUE(worker->Edit(session, {hero->GetAssetFile()}, "").Failed());
        ASSERT_TRUE(worker->WaitingForServer()) << "given up on " << givenUp << " times";
    }

    QElapsedTimer closing;
    closing.start();
    worker.reset();
    EXPECT_LT(closing.elapsed(), 2 * standin::WorkerBackend::kProbeWithin.count());
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerTroubleTest,
                         ::testing::Values(SvnSandbox::Transport::kSvn, SvnSandbox::Transport::kHttps),
                         [](const ::testing::TestParamInfo<SvnSandbox::Transport>& info) {
                             return TransportName(info.param);
                         });

} // namespace
