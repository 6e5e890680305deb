// What the Subversion backend's tests share: their users and files, small helpers for files and
// answers, and a fixture with alice's and bob's sessions on one backend over a sandbox.
#pragma once

#include "SvnSandbox.h"
#include "subversion/SvnBackend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace fs = qor4::FileStatus;
namespace ServerCode = standin::ServerCode;
using standin::SessionId;
using Transport = SvnSandbox::Transport;
using Words = std::vector<qor4::StatusWord>;
using Names = std::vector<std::string>;

constexpr const char* kAlice = "alice";
constexpr const char* kBob = "bob";
constexpr const char* kHero = "chars/hero.qor";
constexpr const char* kLamp = "props/lamp.qor";
constexpr qor4::StatusWord kMine = fs::kCheckedOut | fs::kLockedByMe;
constexpr qor4::StatusWord kTheirs = fs::kCheckedOutByOther | fs::kLockedByOther;
const std::map<std::string, std::string> kTwoUsers{{kAlice, "alice-secret"}, {kBob, "bob-secret"}};

inline std::string Read(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Write(const std::string& file, const std::string& text)
{
    std::ofstream(file, std::ios::trunc) << text;
}

inline bool IsWritable(const std::string& file)
{
    return (std::filesystem::status(file).permissions() & std::filesystem::perms::owner_write) !=
           std::filesystem::perms::none;
}

// Whether text holds part; either way the message shows the text.
inline ::testing::AssertionResult Has(const std::string& text, const std::string& part)
{
    const bool has = text.find(part) != std::string::npos;
    return (has ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
           << (has ? "" : "no ") << "\"" << part << "\" in:\n"
           << text;
}

inline ::testing::AssertionResult StartsWith(const std::string& text, const std::string& prefix)
{
    const bool starts = text.rfind(prefix, 0) == 0;
    return (starts ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
           << (starts ? "" : "not ") << "starting with \"" << prefix << "\":\n"
           << text;
}

// Whether result succeeded; its text shows when not.
template <typename Result>::testing::AssertionResult Done(const Result& result)
{
    return (result.Succeeded() ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
           << "code " << result.code << ": " << result.text;
}

// Whether result has the code and its text holds part.
template <typename Result>
::testing::AssertionResult Told(const Result& result, std::int32_t code, const std::string& part = "")
{
    const bool told = result.code == code && result.text.find(part) != std::string::npos;
    return (told ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
           << "code " << result.code << ", \"" << part << "\" wanted: " << result.text;
}

template <typename Base = ::testing::Test> class BackendFixture : public Base {
protected:
    explicit BackendFixture(const std::map<std::string, std::string>& users = kTwoUsers,
                            Transport transport = Transport::kSvn)
        : sandbox(users, transport)
    {
    }

    // Commits the files (relative path to content) as alice and opens both sessions; configured:
    // the backend reads the sandbox's Subversion configuration folder.
    void CommitAndOpen(const std::map<std::string, std::string>& files, bool configured = true)
    {
        ASSERT_EQ(sandbox.Error(), "");
        ASSERT_EQ(sandbox.Commit(kAlice, files), "");
        if (configured) backend.SetConfigurationFolder(sandbox.ConfigFolder());
        OpenBoth();
    }

    void OpenBoth()
    {
        alice = Open(kAlice);
        ASSERT_NE(alice, 0);
        bob = Open(kBob);
        ASSERT_NE(bob, 0);
    }

    // The user's session on the backend given (else this one); 0, with the reason told, when it
    // cannot be opened.
    SessionId Open(const char* user, standin::SvnBackend* on = nullptr)
    {
        std::string failure;
        const SessionId session = sandbox.Open(on ? *on : backend, user, failure);
        EXPECT_NE(session, 0) << failure;
        return session;
    }

    std::string AlicePath(const std::string& relative) const { return sandbox.PathOf(kAlice, relative); }
    std::string BobPath(const std::string& relative) const { return sandbox.PathOf(kBob, relative); }

    standin::StatusResult Status(SessionId session, const standin::FileList& files)
    {
        return backend.Status(session, files, standin::StatusScope::kWithRepository);
    }

    // The files' words from a status that must succeed.
    Words WordsOf(SessionId session, const standin::FileList& files,
                  standin::StatusScope scope = standin::StatusScope::kWithRepository)
    {
        const standin::StatusResult status = backend.Status(session, files, scope);
        EXPECT_TRUE(status.Succeeded()) << status.text;
        return status.words;
    }

    qor4::StatusWord WordOf(SessionId session, const std::string& file)
    {
        const Words words = WordsOf(session, {file});
        return words.empty() ? 0 : words.front();
    }

    Names HoldersOf(SessionId session, const std::string& file)
    {
        const standin::UsersResult users = backend.Users(session, {file}, true);
        EXPECT_TRUE(users.Succeeded()) << users.text;
        return users.users;
    }

    // Checks the file out in the changelist and writes text into it.
    ::testing::AssertionResult Change(SessionId session, const std::string& file, const std::string& text,
                                      const std::string& changeList = "")
    {
        const standin::ServerResult edited = backend.Edit(session, {file}, changeList);
        if (edited.Succeeded()) Write(file, text);
        return Done(edited);
    }

    // The revision a submit of the default changelist made, after the change.
    long Submit(SessionId session, const std::string& file, const std::string& text)
    {
        EXPECT_TRUE(Change(session, file, text));
        return backend.Submit(session, "").revision;
    }

    // The revision a submit of the changelist that must succeed made.
    long Submitted(SessionId session, const std::string& changeList = "")
    {
        const standin::ChangeListResult submitted = backend.Submit(session, changeList);
        EXPECT_TRUE(Done(submitted));
        return submitted.revision;
    }

    SvnSandbox sandbox;
    standin::SvnBackend backend;
    SessionId alice = 0;
    SessionId bob = 0;
};
