// A working copy whose disk fills or cannot be written: the user is told why, nothing is told as
// stored that is not, and once the disk is mended the next operation finishes what an update began,
// instead of every operation asking for a clean-up the host has no command for.
#include "BackendFixture.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <random>

namespace {

namespace files = std::filesystem;

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

// A small disk of its own under a folder, with its content copied over; gone with the object.
class SmallDisk {
public:
    explicit SmallDisk(const files::path& folder) : m_folder(folder), m_before(folder.string() + ".before")
    {
        files::rename(folder, m_before);
        files::create_directory(folder);
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, kDiskSize) != 0) {
            m_refusal = std::strerror(errno);
            return;
        }
        files::copy(m_before, folder, files::copy_options::recursive | files::copy_options::copy_symlinks);
    }
    ~SmallDisk()
    {
        if (m_refusal.empty()) ::umount2(m_folder.c_str(), MNT_DETACH);
        std::error_code ignored;
        files::remove_all(m_folder, ignored);
        files::rename(m_before, m_folder, ignored);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    // Why the system would not mount it; empty when it did.
    const std::string& Refusal() const { return m_refusal; }

private:
    files::path m_folder;
    files::path m_before;
    std::string m_refusal;
};

// Alice's working copy, with the hero in it, put on a small disk of its own.
class DiskTroubleTest : public ::testing::TestWithParam<Transport> {
protected:
    // Only root may mount, and not in every container: Refusal() says why not, and the test skips.
    void Start(Transport transport = Transport::kSvn)
    {
        sandbox = std::make_unique<SvnSandbox>(std::map<std::string, std::string>{{kAlice, ""}, {kBob, "bob-secret"}},
                                               transport);
        ASSERT_EQ(sandbox->Error(), "");
        ASSERT_EQ(sandbox->Commit(kAlice, {{kHero, "hero 1"}}), "");
        workingCopy = sandbox->WorkingCopy(kAlice);
        hero = sandbox->PathOf(kAlice, kHero);
        filler = workingCopy + "/filler";
        backend.SetConfigurationFolder(sandbox->ConfigFolder());
        disk = std::make_unique<SmallDisk>(workingCopy);
    }
    const std::string& Refusal() const { return disk->Refusal(); }
    SessionId Open(const char* user)
    {
        std::string failure;
        const SessionId session = sandbox->Open(backend, user, failure);
        EXPECT_NE(session, 0) << failure;
        return session;
    }

    std::unique_ptr<SvnSandbox> sandbox;
    std::unique_ptr<SmallDisk> disk;
    standin::SvnBackend backend;
    std::string workingCopy;
    std::string hero;
    std::string filler;
};

TEST_P(DiskTroubleTest, GetLatestStoppedByAFullDiskIsToldAndFinishedByTheNextOperationOnceThereIsRoom)
{
    ASSERT_NO_FATAL_FAILURE(Start(GetParam()));
    if (!Refusal().empty()) GTEST_SKIP() << "no disk of its own: " << Refusal();
    Write(filler, Noise(kFillerBytes));
    const SessionId alice = Open(kAlice);
    const std::string texture = Noise(kTextureBytes);
    ASSERT_EQ(sandbox->Commit(kBob, {{kTexture, texture}, {kHero, "hero 2"}}, kAlice), "");

    const standin::UpdateResult update = backend.Update(alice, {});
    EXPECT_TRUE(
        Told(update, ServerCode::kIOError,
             "The disk that holds the working copy " + workingCopy + " is full; free some space and try again: "));
    EXPECT_TRUE(Has(update.text, "Being updated when the disk filled, and finished by the next operation once there "
                                 "is room:\n" +
                                     hero + "\n" + sandbox->PathOf(kAlice, kTexture) + "\n"));

    const standin::ServerResult stillFull = backend.Edit(alice, {hero}, "");
    EXPECT_TRUE(Told(stillFull, ServerCode::kIOError));
    EXPECT_TRUE(StartsWith(stillFull.text, "Nothing was done: the working copy " + workingCopy +
                                               " could not finish an earlier operation. The disk that holds"));

    files::remove(filler);
    EXPECT_TRUE(Done(backend.Edit(alice, {hero}, "")));
    EXPECT_EQ(Read(hero), "hero 2");
    EXPECT_EQ(Read(sandbox->PathOf(kAlice, kTexture)), texture);
    const standin::StatusResult status = backend.Status(alice, {hero}, standin::StatusScope::kWithRepository);
    EXPECT_EQ(status.words, Words{kMine}) << status.text;
}

// The changelists live in one file of the working copy: a full disk must leave it as it was, not
// cut short (which every later check-out and submit would refuse as damage).
TEST_F(DiskTroubleTest, AChangeListThatCannotBeStoredForWantOfRoomIsRefusedAndTheOthersStayUsable)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    if (!Refusal().empty()) GTEST_SKIP() << "no disk of its own: " << Refusal();
    const SessionId alice = Open(kAlice);
    const standin::ChangeListResult first = backend.CreateChangeList(alice, "first");
    ASSERT_TRUE(Done(first));

    Write(filler, Noise(kFillerBytes * 2));
    const standin::ChangeListResult second = backend.CreateChangeList(alice, std::string(kTextureBytes / 100, 'd'));
    EXPECT_EQ(second.code, ServerCode::kIOError) << second.text;
    EXPECT_TRUE(
        StartsWith(second.text, "Cannot store the changelists of the working copy (No space left on device): "));
    const standin::ChangeListsResult pending = backend.PendingChangeLists(alice);
    EXPECT_TRUE(Done(pending));
    EXPECT_EQ(pending.changeLists, Names{first.changeList});

    files::remove(filler);
    ASSERT_TRUE(Done(backend.Edit(alice, {hero}, first.changeList)));
    files::permissions(hero, files::perms::owner_write, files::perm_options::add);
    Write(hero, "hero 2");
    const standin::ChangeListResult submit = backend.Submit(alice, first.changeList);
    EXPECT_TRUE(Done(submit) && submit.revision > 1) << submit.revision;
}

// Unrecorded, the copy would hold the files as changed, at their old revision, with the released
// locks' tokens, and a new submit of them would be refused as out of date.
TEST_F(DiskTroubleTest, ASubmitThatLandsAsTheDiskFillsIsRecordedByTheNextOperationWithRoom)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    if (!Refusal().empty()) GTEST_SKIP() << "no disk of its own: " << Refusal();
    // The server holds the commit until the disk is full.
    const std::string started = workingCopy + "-commit-started";
    const std::string filled = workingCopy + "-disk-filled";
    ASSERT_TRUE(sandbox->Server().SetHook("pre-commit", "#!/bin/sh\ntouch " + started + "\ni=0\nwhile [ ! -e " +
                                                            filled +
                                                            " ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"));
    const SessionId alice = Open(kAlice);
    ASSERT_TRUE(Done(backend.Edit(alice, {hero}, "")));
    Write(hero, "hero 2");
    std::thread fill([&] {
        for (int wait = 0; wait < 400 && !files::exists(started); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        Write(filler, Noise(kFillerBytes * 2));
        Write(filled, "");
    });
    const standin::ChangeListResult submit = backend.Submit(alice, "");
    fill.join();
    EXPECT_EQ(submit.code, ServerCode::kPartlyDone) << submit.text;
    EXPECT_EQ(submit.revision, 2);
    EXPECT_TRUE(StartsWith(submit.text, "Submitted changelist default as revision 2, but the working copy could not "
                                        "record it; the next operation that can does: The disk that holds the "
                                        "working copy"));

    const auto settledByStatus = [&] {
        return backend.Status(alice, {hero}, standin::StatusScope::kWithRepository).settled;
    };
    EXPECT_TRUE(StartsWith(settledByStatus(), "Submitted as revision 2: changelist default, but the working copy "
                                              "cannot be brought to it yet; the next operation tries again: The "
                                              "disk that holds the working copy"));
    EXPECT_EQ(settledByStatus(), "") << "told once";

    files::remove(filler);
    EXPECT_EQ(settledByStatus(), "Submitted as revision 2 (now recorded in the working copy): changelist default.\n");
    const standin::StatusResult status = backend.Status(alice, {hero}, standin::StatusScope::kWithRepository);
    EXPECT_EQ(status.words, Words{0}) << "at the head, unlocked, unchanged";
    EXPECT_EQ(Read(hero), "hero 2");
    ASSERT_EQ(sandbox->Update(kBob), "");
    EXPECT_TRUE(Done(backend.Edit(Open(kBob), {sandbox->PathOf(kBob, kHero)}, ""))) << "alice holds no lock";
}

// Subversion calls a working copy it cannot write "locked"; no clean-up mends that, and a check-out
// must not lock on the server what it cannot record.
TEST_F(DiskTroubleTest, OnAReadOnlyDiskChangesAreRefusedAsUnwritableLockingNothingAndGoThroughOnceWritable)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    if (!Refusal().empty()) GTEST_SKIP() << "no disk of its own: " << Refusal();
    ASSERT_EQ(sandbox->Commit(kBob, {{kTexture, "texture 2"}}, kAlice), "");
    ASSERT_EQ(::mount("tmpfs", workingCopy.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0) << strerror(errno);
    SessionId alice = Open(kAlice);
    const std::string unwritable =
        "The working copy " + workingCopy + " cannot be written (a read-only disk, or no permission): ";
    for (const standin::ServerResult& refused :
         {backend.Edit(alice, {hero}, ""), static_cast<standin::ServerResult>(backend.Update(alice, {}))}) {
        EXPECT_EQ(refused.code, ServerCode::kIOError) << refused.text;
        EXPECT_TRUE(StartsWith(refused.text, unwritable));
    }
    const SessionId bob = Open(kBob);
    EXPECT_TRUE(Done(backend.Edit(bob, {sandbox->PathOf(kBob, kHero)}, ""))) << "alice locked nothing";
    ASSERT_TRUE(Done(backend.Revert(bob, {sandbox->PathOf(kBob, kHero)})));

    backend.CloseSession(alice);
    ASSERT_EQ(::mount("tmpfs", workingCopy.c_str(), "tmpfs", MS_REMOUNT, nullptr), 0) << strerror(errno);
    alice = Open(kAlice);
    EXPECT_TRUE(Done(backend.Update(alice, {})));
    EXPECT_EQ(Read(sandbox->PathOf(kAlice, kTexture)), "texture 2");
    EXPECT_TRUE(Done(backend.Edit(alice, {hero}, "")));
}

INSTANTIATE_TEST_SUITE_P(Transports, DiskTroubleTest, ::testing::Values(Transport::kSvn, Transport::kHttps),
                         [](const auto& info) { return TransportName(info.param); });

} // namespace
