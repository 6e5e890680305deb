// Re-opening an expired session: the password loop, its windows, and the Retry box.
#include "HostFixture.h"

#include "framework/System.h"

#include <chrono>
#include <thread>

namespace {

constexpr const char* kSessionMessage = "Source control session expired. Password required to re-connect.";
constexpr const char* kPassword = "s3cret";
constexpr const char* kConnectionError = "Connection Error";

class SessionTest : public HostFixture {
protected:
    bool Reopen(const char* prefix = "", const char* message = kSessionMessage)
    {
        qor4::QORPtr<qor4::IDataControl> control = ControlPtr();
        return Helper().ReopenSession(control, prefix, message);
    }

    int LoginAttempts()
    {
        int attempts = 0;
        for (const standin::RecordedCall& call : FileControl().Calls())
            attempts += call.operation == standin::RecordingFileVersionControl::kCreateUserParameters;
        return attempts;
    }
};

// Three wrong passwords, then Cancel: three errors between four dialogs and the expired account
// stays; then the right password installs a new account and the prefix leads the dialog's message.
TEST_F(SessionTest, WrongPasswordsAreToldUntilCancelAndTheRightOneInstallsTheNewAccount)
{
    ExpireSession(kPassword);
    const standin::UserParameters* expired = CurrentAccount();
    for (const char* wrong : {"wrong1", "wrong2", "wrong3"}) {
        AnswerPasswordNext(wrong);
        Modal().PressNext(QMessageBox::Ok);
    }
    Modal().RejectNext();

    EXPECT_FALSE(Reopen());

    const auto& seen = Modal().Seen();
    ASSERT_EQ(seen.size(), 7u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        if (i % 2 == 0) {
            EXPECT_EQ(seen[i].className, "PasswordRequiredDialog");
            EXPECT_EQ(seen[i].title, "Data Source Password Required");
            continue;
        }
        EXPECT_EQ(seen[i].title, kConnectionError);
        EXPECT_EQ(seen[i].icon, QMessageBox::Critical);
        EXPECT_TRUE(seen[i].text.contains("Invalid password"));
        EXPECT_EQ(seen[i].buttons, QStringList{"OK"});
    }
    EXPECT_EQ(LoginAttempts(), 4); // the empty password, then the three typed ones
    EXPECT_EQ(CurrentAccount(), expired);
    for (const auto& entry : Log().Entries())
        EXPECT_EQ(entry.text.find("wrong"), std::string::npos) << "a typed password reached the log";

    const int prefWrites = Prefs().WriteCount();
    AnswerPasswordNext(kPassword);
    EXPECT_TRUE(Reopen("Deleting files: ", "Password needed."));
    EXPECT_EQ(Modal().Seen().size(), 8u);
    ASSERT_EQ(passwordDialogLabels.size(), 4u);
    EXPECT_TRUE(passwordDialogLabels[3].contains("Deleting files: Password needed."));
    const standin::UserParameters* account = CurrentAccount();
    ASSERT_NE(account, nullptr);
    EXPECT_NE(account, expired);
    EXPECT_EQ(account->User(), kUser);
    EXPECT_TRUE(SessionWorks());
    EXPECT_EQ(Prefs().WriteCount(), prefWrites) << "the account preferences must stay as they are";
}

TEST_F(SessionTest, OnlyInvalidPasswordInItsOwnLetterCaseAnywhereInTheTextAsksForThePassword)
{
    const struct {
        const char* serviceText;
        const char* window;
    } cases[] = {{"Login refused: Invalid password\n", "PasswordRequiredDialog"},
                 {"Login refused: INVALID PASSWORD\n", "QMessageBox"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.serviceText);
        ExpireSession(kPassword);
        const std::size_t before = Modal().Seen().size();
        const int attempts = LoginAttempts();
        Server().FailNext(standin::ServerOp::kLogin, standin::ServerCode::kLoginFailed, c.serviceText);
        Modal().RejectNext();

        EXPECT_FALSE(Reopen());

        ASSERT_EQ(Modal().Seen().size(), before + 1);
        const ModalDriver::Window& window = Modal().Seen().back();
        EXPECT_EQ(window.className, c.window);
        if (window.className == "QMessageBox") {
            EXPECT_EQ(window.title, kConnectionError);
            EXPECT_EQ(window.text, c.serviceText);
        }
        EXPECT_EQ(LoginAttempts(), attempts + 1);
    }
}

// Without windows an expired session is not re-opened (nothing asked or touched) and Retry is logged.
TEST_F(SessionTest, AskRetryEscapeAnswersOkEnterAnswersRetryAndWithoutWindowsNothingIsAsked)
{
    ExpireSession(kPassword);
    Modal().KeyNext(Qt::Key_Escape);
    EXPECT_FALSE(CRevisionControlUIHelper::AskRetry("Mark for delete", "The files are locked."));
    Modal().KeyNext(Qt::Key_Return);
    EXPECT_TRUE(CRevisionControlUIHelper::AskRetry("Mark for delete", "The files are locked."));

    ASSERT_EQ(Modal().Seen().size(), 2u);
    const ModalDriver::Window& box = Modal().Seen()[0];
    EXPECT_EQ(box.objectName, "retryBox");
    EXPECT_EQ(box.title, "Mark for delete");
    EXPECT_EQ(box.text, "The files are locked.");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    QStringList buttons = box.buttons;
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"OK", "Retry"}));

    WithoutWindows();
    const int prefReads = Prefs().ReadCount();
    EXPECT_FALSE(Reopen());
    EXPECT_EQ(Prefs().ReadCount(), prefReads);
    EXPECT_EQ(LoginAttempts(), 0);
    EXPECT_EQ(Modal().Seen().size(), 2u);
    EXPECT_EQ(Log().Count(), 0u);

    EXPECT_FALSE(CRevisionControlUIHelper::AskRetry("Revert", "Cannot revert."));
    ASSERT_EQ(Log().Count(), 1u);
    EXPECT_EQ(Log().Entries()[0].type, Log::MsgType::Error);
    EXPECT_EQ(Log().Entries()[0].text, "Revert: Cannot revert.");
}

// How the session went that the next operation finds gone.
enum class Gone { kNeverOpened, kExpiredByTheHost, kLifetimeOver, kPasswordChangedOnServer };

struct GoneCase {
    const char* name;
    Gone gone;
};

class SessionGoneTest : public SessionTest, public ::testing::WithParamInterface<GoneCase> {};

// Every session text the host writes names whose session it is and where, in the data control's
// answers and in the file-version control's, whichever way the session went.
TEST_P(SessionGoneTest, TheSessionTextNamesTheUserAndTheServer)
{
    constexpr std::chrono::milliseconds kShortLifetime{300};
    standin::DbObject* asset = AddCheckedInAsset("probe");
    switch (GetParam().gone) {
    case Gone::kNeverOpened: {
        // As a host started without the password: the account waits for it, with no session.
        ExpireSession(kPassword);
        std::string refused;
        ASSERT_EQ(FileControl().CreateUserParameters(kUser, "", Sandbox().Url(), Sandbox().WorkingCopy(kUser), refused),
                  nullptr);
        Control().SetUserParameters(nullptr);
        ASSERT_NE(CurrentAccount(), nullptr);
        ASSERT_EQ(CurrentSession(), 0u);
        break;
    }
    case Gone::kExpiredByTheHost:
        ExpireSession();
        break;
    case Gone::kLifetimeOver: {
        Subversion().SetSessionLifetime(kShortLifetime);
        std::string message;
        const qor4::IUserParameters* account =
            FileControl().CreateUserParameters(kUser, "", Sandbox().Url(), Sandbox().WorkingCopy(kUser), message);
        ASSERT_NE(account, nullptr) << message;
        Control().SetUserParameters(account);
        std::this_thread::sleep_for(kShortLifetime * 2);
        break;
    }
    case Gone::kPasswordChangedOnServer:
        // The kept connection logged in with the old password: renewed at once here.
        Subversion().SetConnectionLife(std::chrono::milliseconds(0));
        Sandbox().SetPassword(kUser, kPassword);
        break;
    }
    const std::string account = "(" + std::string(kUser) + " at " + Sandbox().Url() + ")";

    std::list<qor4::StatusWord> states;
    std::string message;
    EXPECT_EQ(Control().GetAccessStates({Handle(asset)}, true, {1, 2, -1}, false, states, message).GetCode(),
              qor4::kResultSessionExpired);
    EXPECT_NE(message.find(account), std::string::npos) << message;

    std::vector<qor4::StatusWord> words;
    std::vector<std::string> changeLists;
    message.clear();
    EXPECT_EQ(FileControl()
                  .GetFilesStatus(CurrentAccount(), {FilesOf(asset).front()}, words, changeLists, message, 0)
                  .GetCode(),
              qor4::kResultSessionExpired);
    EXPECT_NE(message.find(account), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(Endings, SessionGoneTest,
                         ::testing::Values(GoneCase{"NeverOpened", Gone::kNeverOpened},
                                           GoneCase{"ExpiredByTheHost", Gone::kExpiredByTheHost},
                                           GoneCase{"LifetimeOver", Gone::kLifetimeOver},
                                           GoneCase{"PasswordChangedOnServer", Gone::kPasswordChangedOnServer}),
                         [](const ::testing::TestParamInfo<GoneCase>& info) { return std::string(info.param.name); });

// A host whose plug-in has no account settings to re-open a session with: the user is told.
TEST(SessionWithoutAccountSettingsTest, ReopeningShowsTheConnectionErrorAndFails)
{
    standin::System::Reset();
    QWidget window;
    window.show();
    CRevisionControlUIHelper helper;
    helper.Init();
    ModalDriver modal;
    modal.PressNext(QMessageBox::Ok);

    qor4::QORPtr<qor4::IDataControl> none;
    EXPECT_FALSE(helper.ReopenSession(none, "", kSessionMessage));

    ASSERT_EQ(modal.Seen().size(), 1u);
    EXPECT_EQ(modal.Seen()[0].title, kConnectionError);
    EXPECT_EQ(modal.Seen()[0].text, QStringLiteral("Cannot connect to version control"));
    EXPECT_EQ(modal.Pending(), 0u);
    helper.Term();
    standin::System::Reset();
}

} // namespace
