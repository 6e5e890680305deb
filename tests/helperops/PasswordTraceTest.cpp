// The password leaves no trace: after a session that knew it has ended, however it ended, none of
// the process's heap memory holds the password's bytes.
#include "HostFixture.h"

#include "zrpasswordrequireddialog.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include <chrono>
#include <thread>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::size_t kLength = 40;
constexpr char kAlphabet[] = "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";

// The password lives only here, on the test's stack, and in whatever the code under test makes of it.
struct Needle {
    char bytes[kLength];
};

Needle MakeNeedle()
{
    Needle needle{};
    std::random_device random;
    for (char& byte : needle.bytes)
        byte = kAlphabet[random() % (sizeof kAlphabet - 1)];
    return needle;
}

// Rewrites the user's line of the server's password file (never its first, "[users]") with the
// needle. The new file is written by a forked child straight from the stack, so that this process's
// own heap never holds the password.
bool GivePasswordToServer(const std::string& passwordFile, const char* user, const Needle& needle)
{
    std::ifstream in(passwordFile);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t line = text.find("\n" + std::string(user) + " = ");
    if (line == std::string::npos) return false;
    const std::string prefix = text.substr(0, line + 1) + user + " = ";
    const std::size_t end = text.find('\n', line + 1);
    const std::string after = end == std::string::npos ? "\n" : text.substr(end); // from the line's end on
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(passwordFile.c_str(), O_WRONLY | O_TRUNC);
        const bool written = fd >= 0 &&
                             write(fd, prefix.data(), prefix.size()) == static_cast<ssize_t>(prefix.size()) &&
                             write(fd, needle.bytes, kLength) == static_cast<ssize_t>(kLength) &&
                             write(fd, after.data(), after.size()) == static_cast<ssize_t>(after.size());
        _exit(written && close(fd) == 0 ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Where the allocator keeps its memory: the [heap] mapping and anonymous writable mappings (the
// arenas of other threads), but for the stacks.
std::vector<std::pair<char*, char*>> HeapRegions()
{
    std::vector<std::pair<char*, char*>> regions;
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream fields(line);
        std::uintptr_t begin = 0, end = 0;
        char dash = 0;
        std::string permissions, offset, device, inode, path;
        fields >> std::hex >> begin >> dash >> end >> permissions >> offset >> device >> inode;
        std::getline(fields >> std::ws, path);
        if (permissions.compare(0, 2, "rw") == 0 && (path == "[heap]" || (path.empty() && inode == "0")))
            regions.emplace_back(reinterpret_cast<char*>(begin), reinterpret_cast<char*>(end));
    }
    return regions;
}

// Places where the needle, in UTF-8 or in UTF-16 (Qt's strings), lies in the heap; the needle's own
// bytes on this stack are no heap.
int CountInHeap(const Needle& needle)
{
    char wide[2 * kLength];
    for (std::size_t i = 0; i < kLength; ++i) {
        wide[2 * i] = needle.bytes[i];
        wide[2 * i + 1] = 0;
    }
    int found = 0;
    for (const auto& [begin, end] : HeapRegions())
        for (const char* pattern : {static_cast<const char*>(needle.bytes), static_cast<const char*>(wide)}) {
            const std::size_t size = pattern == wide ? sizeof wide : kLength;
            for (const char* at = begin;
                 (at = static_cast<const char*>(memmem(at, static_cast<std::size_t>(end - at), pattern, size))); ++at)
                ++found;
        }
    return found;
}

// How the session that knew the password ends.
enum class Ending {
    kClosed,                // the host closes it
    kExpired,               // its lifetime ends; the next operation answers that it expired
    kExpiredByTheHost,      // the host's simulated expiry; the next operation answers that it expired
    kExpiredIdle,           // its lifetime ends, and no operation follows
    kServerChangedPassword, // the server refuses it at the next operation
    kReplaced,              // a login with another password replaces it
    kWrongPasswordRetried,  // the password was refused at login, the next one typed was right
    kCancelled,             // typed into the dialog, then Cancel
    kConnectDialog,         // typed into a dialog of the host's own (not the helper's), then expired
};

struct TraceCase {
    const char* name;
    Ending ending;
};

constexpr std::chrono::milliseconds kShortLifetime{1500};

class PasswordTraceTest : public HostFixture, public ::testing::WithParamInterface<TraceCase> {
protected:
    // Answers the next password dialog by typing the needle and pressing okButton or cancelButton.
    void TypeNext(const Needle& needle, const char* button = "okButton")
    {
        // By reference: a copy in the answer would be one more in the heap.
        Modal().AnswerNext([&needle, button](QWidget* window) {
            auto* edit = window->findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
            ASSERT_NE(edit, nullptr);
            for (const char typed : needle.bytes)
                QTest::keyClick(edit, typed);
            QTest::mouseClick(window->findChild<QWidget*>(QString::fromLatin1(button)), Qt::LeftButton);
        });
    }

    // Logs in again through the helper's password dialog with the needle the server now holds.
    void ReopenWith(const Needle& needle)
    {
        ASSERT_TRUE(GivePasswordToServer(Sandbox().Server().PasswordFile(), kUser, needle));
        ExpireSession();
        TypeNext(needle);
        qor4::QORPtr<qor4::IDataControl> control = ControlPtr();
        ASSERT_TRUE(Helper().ReopenSession(control, "", "Password needed."));
        ASSERT_TRUE(SessionWorks()) << "the server took the typed password";
    }

    // A status that asks the server: the probe asset is in the repository.
    std::int32_t AskServer() { return StatusOf({LocalPath(std::string(kAssetFolder) + "probe.qor")}).code; }

    // Waits for the session's lifetime to end; the next operation says so.
    void OutliveSession()
    {
        std::this_thread::sleep_for(kShortLifetime + std::chrono::milliseconds(100));
        EXPECT_EQ(AskServer(), qor4::kResultSessionExpired);
    }

    // Logs in with the needle typed into the host's own password dialog, as the demo's Connect does.
    void LogInThroughHostDialog(const Needle& needle)
    {
        ASSERT_TRUE(GivePasswordToServer(Sandbox().Server().PasswordFile(), kUser, needle));
        TypeNext(needle);
        PasswordRequiredDialog dialog;
        ASSERT_EQ(dialog.exec(), QDialog::Accepted);
        std::string message;
        const qor4::IUserParameters* account = nullptr;
        {
            QByteArray password = dialog.GetPassword().toUtf8();
            std::string typed(password.constData(), static_cast<std::size_t>(password.size()));
            password.fill('\0');
            account = FileControl().CreateUserParameters(kUser, typed, Sandbox().Url(), Sandbox().WorkingCopy(kUser),
                                                         message);
            volatile char* secret = typed.data();
            for (std::size_t i = 0; i < typed.size(); ++i)
                secret[i] = 0;
        }
        ASSERT_NE(account, nullptr) << message;
        Control().SetUserParameters(account);
        ASSERT_TRUE(SessionWorks());
    }
};

TEST_P(PasswordTraceTest, ASessionThatEndedLeavesNoCopyOfItsPasswordInTheHeap)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer replaces the allocator (freed memory waits in its quarantine) and maps "
                    "terabytes of shadow memory; the scan is about the allocator the host runs with";
#endif
    const Needle needle = MakeNeedle();
    const Needle other = MakeNeedle();
    qor4::QORPtr<qor4::IDataControl> control = ControlPtr();
    AddCheckedInAsset("probe");
    switch (GetParam().ending) {
    case Ending::kClosed: {
        ReopenWith(needle);
        const standin::SessionId session = CurrentSession();
        Server().CloseSession(session);
        break;
    }
    case Ending::kExpired:
        Subversion().SetSessionLifetime(kShortLifetime);
        ReopenWith(needle);
        OutliveSession();
        break;
    case Ending::kExpiredIdle:
        Subversion().SetSessionLifetime(kShortLifetime);
        ReopenWith(needle);
        std::this_thread::sleep_for(kShortLifetime + std::chrono::milliseconds(300));
        break;
    case Ending::kServerChangedPassword:
        ReopenWith(needle);
        // The kept connection logged in with the old password: renewed at once here.
        Subversion().SetConnectionLife(std::chrono::milliseconds(0));
        ASSERT_TRUE(GivePasswordToServer(Sandbox().Server().PasswordFile(), kUser, other));
        EXPECT_EQ(AskServer(), qor4::kResultSessionExpired);
        break;
    case Ending::kExpiredByTheHost:
        ReopenWith(needle);
        ExpireSession();
        EXPECT_EQ(AskServer(), qor4::kResultSessionExpired);
        break;
    case Ending::kReplaced: {
        ReopenWith(needle);
        const standin::SessionId replaced = CurrentSession();
        ReopenWith(other);
        EXPECT_FALSE(Subversion().IsSessionOpen(replaced)) << "the session the new one replaced is closed";
        break;
    }
    case Ending::kWrongPasswordRetried:
        ASSERT_TRUE(GivePasswordToServer(Sandbox().Server().PasswordFile(), kUser, other));
        ExpireSession();
        TypeNext(needle);
        Modal().PressNext(QMessageBox::Ok);
        TypeNext(other);
        ASSERT_TRUE(Helper().ReopenSession(control, "", "Password needed."));
        ASSERT_TRUE(SessionWorks());
        break;
    case Ending::kCancelled:
        ASSERT_TRUE(GivePasswordToServer(Sandbox().Server().PasswordFile(), kUser, other));
        ExpireSession();
        TypeNext(needle, "cancelButton");
        EXPECT_FALSE(Helper().ReopenSession(control, "", "Password needed."));
        break;
    case Ending::kConnectDialog:
        Subversion().SetSessionLifetime(kShortLifetime);
        ASSERT_NO_FATAL_FAILURE(LogInThroughHostDialog(needle));
        OutliveSession();
        break;
    }
    EXPECT_EQ(CountInHeap(needle), 0);
}

INSTANTIATE_TEST_SUITE_P(EveryEnding, PasswordTraceTest,
                         ::testing::Values(TraceCase{"Closed", Ending::kClosed}, TraceCase{"Expired", Ending::kExpired},
                                           TraceCase{"ExpiredByTheHost", Ending::kExpiredByTheHost},
                                           TraceCase{"ExpiredIdle", Ending::kExpiredIdle},
                                           TraceCase{"ServerChangedPassword", Ending::kServerChangedPassword},
                                           TraceCase{"Replaced", Ending::kReplaced},
                                           TraceCase{"WrongPasswordRetried", Ending::kWrongPasswordRetried},
                                           TraceCase{"Cancelled", Ending::kCancelled},
                                           TraceCase{"ConnectDialog", Ending::kConnectDialog}),
                         [](const ::testing::TestParamInfo<TraceCase>& info) { return std::string(info.param.name); });

} // namespace
