// A working copy whose disk fills or cannot be written: the user is told why, nothing is told as
// stored that is not, and once the disk is mended the next operation finishes what an update began,
// instead of every operation asking for a clean-up the host has no command for.
#include "SvnSandbox.h"
#include "subversion/SvnBackend.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <thread>

namespace {

namespace fs = std::filesystem;
namespace ServerCode = standin::ServerCode;

constexpr const char* kAlice = "alice";
constexpr const char* kBob = "bob";
constexpr const char* kHero = "chars/hero.qor";
constexpr const char* kTexture = "chars/hero_diffuse.tex";
constexpr const char* kDiskSize = "size=3m";
constexpr std::size_t kFillerBytes = 2300 * 1024; // leaves less room than the texture needs twice
constexpr std::size_t kTextureBytes = 500 * 1024;

// Bytes that do not compress, so that the texture takes its whole size on the disk.
std::string Noise(std::size_t size)
{
    std::mt19937 random(size);
    std::string bytes(size, ' ');
    for (char& byte : bytes)
        byte = static_cast<char>('a' + random() % 26);
    return bytes;
}

std::string Content(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A small disk of its own under a folder, with its content copied over; gone with the object.
class SmallDisk {
public:
    explicit SmallDisk(const fs::path& folder) : m_folder(folder), m_before(folder.string() + ".before")
    {
        fs::rename(folder, m_before);
        fs::create_directory(folder);
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, kDiskSize) != 0) {
            m_refusal = std::strerror(errno);
            return;
        }
        fs::copy(m_before, folder, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }
    ~SmallDisk()
    {
        if (m_refusal.empty()) ::umount2(m_folder.c_str(), MNT_DETACH);
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
        fs::rename(m_before, m_folder, ignored);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    // Why the system would not mount it; empty when it did.
    const std::string& Refusal() const { return m_refusal; }

private:
    fs::path m_folder;
    fs::path m_before;
    std::string m_refusal;
};

// Alice's working copy, with the hero in it, put on a small disk of its own by Mount.
class DiskTroubleTest : public ::testing::TestWithParam<SvnSandbox::Transport> {
protected:
    void Start(SvnSandbox::Transport transport = SvnSandbox::Transport::kSvn)
    {
        sandbox = std::make_unique<SvnSandbox>(std::map<std::string, std::string>{{kAlice, ""}, {kBob, "bob-secret"}},
                                               transport);
        ASSERT_EQ(sandbox->Error(), "");
        ASSERT_EQ(sandbox->Commit(kAlice, {{kHero, "hero 1"}}), "");
        workingCopy = sandbox->WorkingCopy(kAlice);
        hero = sandbox->PathOf(kAlice, kHero);
        backend.SetConfigurationFolder(sandbox->ConfigFolder());
    }
    // Only root may mount, and not in every container: false then, and the test is to be skipped.
    bool Mount()
    {
        disk = std::make_unique<SmallDisk>(workingCopy);
        return disk->Refusal().empty();
    }
    standin::SessionId Open(const char* user)
    {
        std::string failure;
        const standin::SessionId session = sandbox->Open(backend, user, failure);
        EXPECT_NE(session, 0) << failure;
        return session;
    }

    std::unique_ptr<SvnSandbox> sandbox;
    std::unique_ptr<SmallDisk> disk;
    standin::SvnBackend backend;
    fs::path workingCopy;
    std::string hero;
};

TEST_P(DiskTroubleTest, GetLatestStoppedByAFullDiskIsToldAndFinishedByTheNextOperationOnceThereIsRoom)
{
    ASSERT_NO_FATAL_FAILURE(Start(GetParam()));
    if (!Mount()) GTEST_SKIP() << "no disk of its own: " << disk->Refusal();
    const fs::path filler = workingCopy / "filler";
    std::ofstream(filler) << Noise(kFillerBytes);
    const standin::SessionId alice = Open(kAlice);
    const std::string texture = Noise(kTextureBytes);
    ASSERT_EQ(sandbox->Commit(kBob, {{kTexture, texture}, {kHero, "hero 2"}}, kAlice), "");

    const standin::UpdateResult update = backend.Update(alice, {});
    EXPECT_EQ(update.code, ServerCode::kIOError) << update.text;
    EXPECT_NE(update.text.find("The disk that holds the working copy " + workingCopy.string() +
                               " is full; free some space and try again: "),
              std::string::npos)
        << update.text;
    EXPECT_NE(update.text.find("Being updated when the disk filled, and finished by the next operation once there "
                               "is room:\n" +
                               hero + "\n" + sandbox->PathOf(kAlice, kTexture) + "\n"),
              std::string::npos)
        << update.text;

    const standin::ServerResult stillFull = backend.Edit(alice, {hero}, "");
    EXPECT_EQ(stillFull.code, ServerCode::kIOError) << stillFull.text;
    EXPECT_EQ(stillFull.text.rfind("Nothing was done: the working copy " + workingCopy.string() +
                                       " could not finish an earlier operation. The disk that holds",
                                   0),
              0u)
        << stillFull.text;

    fs::remove(filler);
    const standin::ServerResult checkOut = backend.Edit(alice, {hero}, "");
    EXPECT_TRUE(checkOut.Succeeded()) << checkOut.text;
    EXPECT_EQ(Content(hero), "hero 2");
    EXPECT_EQ(Content(sandbox->PathOf(kAlice, kTexture)), texture);
    const standin::StatusResult status = backend.Status(alice, {hero}, standin::StatusScope::kWithRepository);
    ASSERT_EQ(status.words.size(), 1u) << status.text;
    EXPECT_EQ(status.words[0], qor4::FileStatus::kCheckedOut | qor4::FileStatus::kLockedByMe);
}

// The changelists live in one file of the working copy: a full disk must leave it as it was, not
// cut short (which every later check-out and submit would refuse as damage).
TEST_F(DiskTroubleTest, AChangeListThatCannotBeStoredForWantOfRoomIsRefusedAndTheOthersStayUsable)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    if (!Mount()) GTEST_SKIP() << "no disk of its own: " << disk->Refusal();
    const standin::SessionId alice = Open(kAlice);
    const standin::ChangeListResult first = backend.CreateChangeList(alice, "first");
    ASSERT_TRUE(first.Succeeded()) << first.text;

    const fs::path filler = workingCopy / "filler";
    std::ofstream(filler) << Noise(kFillerBytes * 2);
    const standin::ChangeListResult second = backend.CreateChangeList(alice, std::string(kTextureBytes / 100, 'd'));
    EXPECT_EQ(second.code, ServerCode::kIOError) << second.text;
    EXPECT_EQ(second.text.rfind("Cannot store the changelists of the working copy (No space left on device): ", 0), 0u)
        << second.text;
    const standin::ChangeListsResult pending = backend.PendingChangeLists(alice);
    EXPECT_TRUE(pending.Succeeded()) << pending.text;
    EXPECT_EQ(pending.changeLists, std::vector<std::string>{first.changeList});

    fs::remove(filler);
    const standin::ServerResult checkOut = backend.Edit(alice, {hero}, first.changeList);
    ASSERT_TRUE(checkOut.Succeeded()) << checkOut.text;
    fs::permissions(hero, fs::perms::owner_write, fs::perm_options::add);
    std::ofstream(hero) << "hero 2";
    const standin::ChangeListResult submit = backend.Submit(alice, first.changeList);
    EXPECT_TRUE(submit.Succeeded()) << submit.text;
    EXPECT_GT(submit.revision, 1);
}

// A commit the repository takes while the disk fills cannot be recorded in the working copy, which
// then holds the files as changed, at their old revision, with the released locks' tokens; a new
// submit of them would be refused as out of date. The next operation with room records it.
TEST_F(DiskTroubleTest, ASubmitThatLandsAsTheDiskFillsIsRecordedByTheNextOperationWithRoom)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    if (!Mount()) GTEST_SKIP() << "no disk of its own: " << disk->Refusal();
    // The server holds the commit until the disk is full.
    const fs::path started = workingCopy.string() + "-commit-started";
    const fs::path filled = workingCopy.string() + "-disk-filled";
    ASSERT_TRUE(sandbox->Server().SetHook("pre-commit", "#!/bin/sh\ntouch " + started.string() +
                                                            "\ni=0\nwhile [ ! -e " + filled.string() +
                                                            " ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"));
    const standin::SessionId alice = Open(kAlice);
    ASSERT_TRUE(backend.Edit(alice, {hero}, "").Succeeded());
    std::ofstream(hero) << "hero 2";
    const fs::path filler = workingCopy / "filler";
    std::thread fill([&] {
        for (int wait = 0; wait < 400 && !fs::exists(started); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        std::ofstream(filler) << Noise(kFillerBytes * 2);
        std::ofstream(filled) << "";
    });
    const standin::ChangeListResult submit = backend.Submit(alice, "");
    fill.join();
    EXPECT_EQ(submit.code, ServerCode::kPartlyDone) << submit.text;
    EXPECT_EQ(submit.revision, 2);
    EXPECT_EQ(submit.text.rfind("Submitted changelist default as revision 2, but the working copy could not record it; "
                                "the next operation that can does: The disk that holds the working copy",
                                0),
              0u)
        << submit.text;

    const auto settledByStatus = [&] {
        return backend.Status(alice, {hero}, standin::StatusScope::kWithRepository).settled;
    };
    const std::string waiting = settledByStatus();
    EXPECT_EQ(waiting.rfind("Submitted as revision 2: changelist default, but the working copy cannot be brought to "
                            "it yet; the next operation tries again: The disk that holds the working copy",
                            0),
              0u)
        << waiting;
    EXPECT_EQ(settledByStatus(), "") << "told once";

    fs::remove(filler);
    EXPECT_EQ(settledByStatus(), "Submitted as revision 2 (now recorded in the working copy): changelist default.\n");
    const standin::StatusResult status = backend.Status(alice, {hero}, standin::StatusScope::kWithRepository);
    EXPECT_EQ(status.words, std::vector<qor4::StatusWord>{0}) << "at the head, unlocked, unchanged";
    EXPECT_EQ(Content(hero), "hero 2");
    ASSERT_EQ(sandbox->Update(kBob), "");
    const standin::ServerResult bobsCheckOut = backend.Edit(Open(kBob), {sandbox->PathOf(kBob, kHero)}, "");
    EXPECT_TRUE(bobsCheckOut.Succeeded()) << "alice holds no lock: " << bobsCheckOut.text;
}

// Subversion calls a working copy it cannot write "locked"; no clean-up mends that, and a check-out
// must not lock on the server what it cannot record.
TEST_F(DiskTroubleTest, OnAReadOnlyDiskChangesAreRefusedAsUnwritableLockingNothingAndGoThroughOnceWritable)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(sandbox->Commit(kBob, {{kTexture, "texture 2"}}, kAlice), "");
    if (!Mount()) GTEST_SKIP() << "no disk of its own: " << disk->Refusal();
    ASSERT_EQ(::mount("tmpfs", workingCopy.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0) << strerror(errno);
    standin::SessionId alice = Open(kAlice);
    const std::string unwritable =
        "The working copy " + workingCopy.string() + " cannot be written (a read-only disk, or no permission): ";
    for (const standin::ServerResult& refused :
         {backend.Edit(alice, {hero}, ""), static_cast<standin::ServerResult>(backend.Update(alice, {}))}) {
        EXPECT_EQ(refused.code, ServerCode::kIOError) << refused.text;
        EXPECT_EQ(refused.text.rfind(unwritable, 0), 0u) << refused.text;
    }
    const standin::SessionId bob = Open(kBob);
    const standin::ServerResult bobsCheckOut = backend.Edit(bob, {sandbox->PathOf(kBob, kHero)}, "");
    EXPECT_TRUE(bobsCheckOut.Succeeded()) << "alice locked nothing: " << bobsCheckOut.text;
    ASSERT_TRUE(backend.Revert(bob, {sandbox->PathOf(kBob, kHero)}).Succeeded());

    backend.CloseSession(alice);
    ASSERT_EQ(::mount("tmpfs", workingCopy.c_str(), "tmpfs", MS_REMOUNT, nullptr), 0) << strerror(errno);
    alice = Open(kAlice);
    const standin::UpdateResult update = backend.Update(alice, {});
    EXPECT_TRUE(update.Succeeded()) << update.text;
    EXPECT_EQ(Content(sandbox->PathOf(kAlice, kTexture)), "texture 2");
    EXPECT_TRUE(backend.Edit(alice, {hero}, "").Succeeded());
}

INSTANTIATE_TEST_SUITE_P(Transports, DiskTroubleTest,
                         ::testing::Values(SvnSandbox::Transport::kSvn, SvnSandbox::Transport::kHttps),
                         [](const auto& info) { return info.param == SvnSandbox::Transport::kSvn ? "Svn" : "Https"; });

} // namespace
