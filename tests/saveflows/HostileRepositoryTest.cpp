// A repository another user filled as an attacker would: links that lead out of the working copy,
// markup in asset names and in a hook's long refusal, rock beside rock_big, and a local name that is
// not UTF-8. A folder outside (the sentinel) keeps every file's content, mode and time throughout.
#include "FlowFixture.h"

#include "framework/WorkingCopyFence.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

namespace fs = std::filesystem;

constexpr const char* kEvilAsset = "assets/evil.qor";
constexpr const char* kLinkedFolder = "assets/linkdir";
constexpr const char* kInnerAsset = "assets/linkdir/inner.qor";
constexpr const char* kInnerTexture = "assets/linkdir/inner_diffuse.tex";
constexpr const char* kPlainAsset = "assets/plain.qor";
constexpr const char* kMirrorAsset = "assets/mirror.qor";
constexpr const char* kOutsideFile = "secret.qor";
constexpr const char* kOutsideFolder = "outdir";
constexpr const char* kOutsideContent = "not the working copy's\n";
// Markup as a file name: "&#47;" stands for the slashes a name cannot hold.
constexpr const char* kMarkupName = "<img src=&#47;usr&#47;share&#47;pixmaps&#47;logo.png>";
constexpr const char* kRock = "assets/rock.qor";
constexpr const char* kRockTexture = "assets/rock_diffuse.tex";
constexpr const char* kRockBig = "assets/rock_big.qor";
constexpr const char* kRockBigTexture = "assets/rock_big_diffuse.tex";
constexpr const char* kOddName = "assets/bad\xff.qor";
// The server refuses the current user's commits in markup, with terminal escapes and at length.
constexpr const char* kRefusingHook =
    "#!/bin/sh\n"
    "[ \"$(svnlook author -t \"$2\" \"$1\")\" = alice ] || exit 0\n"
    "printf '<h1>Refused</h1><a href=\"file:///etc/passwd\">read this</a>\\033[31m red\\033[0m\\n' >&2\n"
    "head -c 200000 /dev/zero | tr '\\0' x >&2\n"
    "exit 1\n";
constexpr std::size_t kMostMessageBytes = 8192;
const fs::perms kReadOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;

// What the sentinel folder holds, entry by entry: kind, mode, size, time and content.
std::map<std::string, std::string> Snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> entries;
    auto record = [&entries, &folder](const fs::path& path) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) return;
        std::string text = std::to_string(info.st_mode) + " " + std::to_string(info.st_size) + " " +
                           std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
        if (S_ISREG(info.st_mode)) {
            std::ifstream stream(path, std::ios::binary);
            text += " " + std::string(std::istreambuf_iterator<char>(stream), {});
        }
        entries[path.lexically_relative(folder).string()] = text;
    };
    record(folder);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        record(entry.path());
    return entries;
}

class HostileRepositoryTest : public FlowFixture {
protected:
    void SetUp() override
    {
        FlowFixture::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(sentinel.isValid());
        const fs::path outside(sentinel.path().toStdString());
        fs::create_directory(outside / kOutsideFolder);
        for (const char* file : {kOutsideFile, "outdir/inner.qor", "outdir/inner_diffuse.tex"}) {
            std::ofstream(outside / file) << kOutsideContent;
            fs::permissions(outside / file, kReadOnly);
        }

        // Another user commits the links, one with the lock workflow's property; alice updates.
        // A link that stays inside (to a file of the lock workflow) is committed beside them.
        ASSERT_EQ(Sandbox().Commit(kOtherUser, {{kPlainAsset, "plain"},
                                                {std::string("assets/") + kMarkupName + ".qor", "markup"},
                                                {kRock, "rock"},
                                                {kRockTexture, "rock"},
                                                {kRockBig, "rock big"},
                                                {kRockBigTexture, "rock big"}}),
                  "");
        const fs::path bobs(Sandbox().WorkingCopy(kOtherUser));
        fs::create_symlink(outside / kOutsideFile, bobs / kEvilAsset);
        fs::create_directory_symlink(outside / kOutsideFolder, bobs / kLinkedFolder);
        fs::create_symlink("plain.qor", bobs / kMirrorAsset);
        ASSERT_EQ(Sandbox().RunSvn(kOtherUser, {"add", kEvilAsset, kLinkedFolder, kMirrorAsset}), 0);
        ASSERT_EQ(Sandbox().RunSvn(kOtherUser, {"propset", "svn:needs-lock", "*", kEvilAsset}), 0);
        ASSERT_EQ(Sandbox().RunSvn(kOtherUser, {"commit", "-m", "links"}), 0);
        ASSERT_EQ(Sandbox().Update(kUser), "");
        ASSERT_TRUE(fs::is_symlink(LocalPath(kEvilAsset)));
        std::ofstream(LocalPath(kOddName)) << "odd";
        ASSERT_TRUE(Sandbox().Server().SetHook("pre-commit", kRefusingHook));

        // The assets as a listing that follows links would have made them.
        evil = Manager().CreateAsset({"evil", LocalPath(kEvilAsset), {}, true});
        inner = Manager().CreateAsset({"inner", LocalPath(kInnerAsset), {LocalPath(kInnerTexture)}, true});
        mirror = Manager().CreateAsset({"mirror", LocalPath(kMirrorAsset), {}, true});
        markup =
            Manager().CreateAsset({kMarkupName, LocalPath(std::string("assets/") + kMarkupName + ".qor"), {}, true});
        // rock_big's texture offered to rock too, as a listing by prefix would.
        rock = Manager().CreateAsset(
            {"rock", LocalPath(kRock), {LocalPath(kRockTexture), LocalPath(kRockBigTexture)}, true});
        rockBig = Manager().CreateAsset({"rock_big", LocalPath(kRockBig), {LocalPath(kRockBigTexture)}, true});
        before = Snapshot(outside);
        ASSERT_EQ(before.size(), 5u); // the folder, its file, the inner folder and its two files
        ServerRecord().ClearCalls();
    }

    void TearDown() override
    {
        EXPECT_EQ(Snapshot(sentinel.path().toStdString()), before);
        FlowFixture::TearDown();
    }

    std::string Outside(const std::string& name) const
    {
        return standin::WorkingCopyFence::RealLocation(sentinel.path().toStdString() + "/" + name).value_or("");
    }
    std::string EvilRefusal(const char* outcome) const
    {
        return std::string(kEvilAsset) + " is a symbolic link to " + Outside(kOutsideFile) +
               ", outside the working copy: " + outcome;
    }
    std::string InnerRefusal(const std::string& file, const char* outcome) const
    {
        return file + " lies in " + kLinkedFolder + ", a symbolic link to " + Outside(kOutsideFolder) +
               ", outside the working copy: " + outcome;
    }
    // One of the save's failures gives part as its reason.
    static bool Holds(const standin::SaveResult& saved, const std::string& part)
    {
        return std::any_of(saved.failures.begin(), saved.failures.end(), [&part](const standin::SaveFailure& failure) {
            return failure.reason.find(part) != std::string::npos;
        });
    }

    QTemporaryDir sentinel;
    std::map<std::string, std::string> before;
    standin::DbObject* evil = nullptr;
    standin::DbObject* inner = nullptr;
    standin::DbObject* mirror = nullptr;
    standin::DbObject* markup = nullptr;
    standin::DbObject* rock = nullptr;
    standin::DbObject* rockBig = nullptr;
};

TEST_F(HostileRepositoryTest, StatusTellsEachFileAndMakeWritableCheckOutAndRevertRefuseLinksOut)
{
    // The link is versioned like any file; the odd name is not in revision control; the rest is.
    const standin::StatusResult status =
        StatusOf({LocalPath(kEvilAsset), LocalPath(kOddName), markup->GetAssetFile(), LocalPath(kRockBigTexture)});
    ASSERT_TRUE(status.Succeeded()) << status.text;
    EXPECT_EQ(status.words, (std::vector<qor4::StatusWord>{0, qor4::FileStatus::kNotInDepot, 0, 0}));
    WithoutWindows();

    EXPECT_FALSE(HelperInterface().MakeObjectWritable(Handle(evil), true));
    EXPECT_FALSE(HelperInterface().MakeObjectWritable(Handle(inner), true));

    const std::vector<std::string> errors = LogTexts(Log::MsgType::Error);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find(EvilRefusal("not changed")), std::string::npos) << errors[0];
    EXPECT_NE(errors[1].find(InnerRefusal(kInnerAsset, "not changed")), std::string::npos) << errors[1];
    EXPECT_NE(errors[1].find(InnerRefusal(kInnerTexture, "not changed")), std::string::npos) << errors[1];

    // A link that leads to a file inside is followed.
    ASSERT_TRUE(StateOf(LocalPath(kPlainAsset)).readOnly);
    EXPECT_TRUE(HelperInterface().MakeObjectWritable(Handle(mirror), true));
    EXPECT_FALSE(StateOf(LocalPath(kPlainAsset)).readOnly);

    // Check-out and revert of the links change nothing outside either.
    bool cancelled = false;
    Helper().CheckOutObjects({Handle(evil)}, &cancelled, true);
    EXPECT_EQ(WordOf(LocalPath(kEvilAsset)) & qor4::FileStatus::kLockedByMe, qor4::FileStatus::kLockedByMe);
    EXPECT_FALSE(Helper().CheckOutObjects({Handle(inner)}, &cancelled, true));
    std::string errorText;
    EXPECT_EQ(FileControl().RevertFiles(CurrentAccount(), {LocalPath(kEvilAsset)}, errorText), qor4::kResultOk)
        << errorText;
    EXPECT_EQ(WordOf(LocalPath(kEvilAsset)) & qor4::FileStatus::kLockedByMe, 0u);
    FileControl().RevertFiles(CurrentAccount(), {LocalPath(kInnerAsset), LocalPath(kInnerTexture)}, errorText);
}

TEST_F(HostileRepositoryTest, SavingWritesNothingThroughALinkOrOutOfTheWorkingCopyByPath)
{
    WithoutWindows();
    // The read-only file behind the linked folder is made writable before the save, which is refused too.
    Properties().SetActionWhenEditingReadOnlyAsset(Props::kMakeWritable);
    Touch(evil);
    Touch(inner);
    // New assets whose files are named out of the working copy: by "..", and by an absolute path.
    const fs::path up = fs::path(sentinel.path().toStdString()).lexically_relative(LocalPath("assets"));
    const std::string climbing = LocalPath("assets/" + up.string() + "/pwned.qor");
    const std::string absolute = sentinel.path().toStdString() + "/" + kOutsideFolder + "/pwned_map1.tex";
    Manager().CreateAsset({"pwned", climbing, {absolute}, false});

    const standin::SaveResult saved = Library().Save();

    ASSERT_FALSE(saved.vetoed) << ::testing::PrintToString(LogTexts(Log::MsgType::Error));
    EXPECT_EQ(saved.failures.size(), 3u);
    EXPECT_TRUE(Holds(saved, EvilRefusal("not changed")));
    EXPECT_TRUE(Holds(saved, InnerRefusal(kInnerAsset, "not changed")));
    EXPECT_TRUE(Holds(saved, "is outside the working copy " + Sandbox().WorkingCopy(kUser) + ": not changed"));
    EXPECT_TRUE(saved.writtenFiles.empty());
    EXPECT_TRUE(fs::is_symlink(LocalPath(kEvilAsset))) << "the versioned link stays a link";
}

TEST_F(HostileRepositoryTest, DeletingRemovesTheLinkItselfNothingThroughALinkedFolderAndNoOtherAssetsFile)
{
    WithoutWindows();
    Manager().DeleteAsset(evil);
    Manager().DeleteAsset(inner);
    Manager().DeleteAsset(rock);

    const standin::SaveResult saved = Library().Save();

    EXPECT_EQ(SortedLines(saved.removedFiles),
              SortedLines({LocalPath(kEvilAsset), LocalPath(kRock), LocalPath(kRockTexture)}));
    // rock_big's texture is rock_big's alone: it stays, on disk and in the repository.
    EXPECT_TRUE(fs::exists(LocalPath(kRockBigTexture)));
    EXPECT_EQ(WordOf(LocalPath(kRockBigTexture)) & qor4::FileStatus::kMarkedForDelete, 0u);
    EXPECT_TRUE(Holds(saved, InnerRefusal(kInnerAsset, "not removed")));
    EXPECT_TRUE(Holds(saved, InnerRefusal(kInnerTexture, "not removed")));
    // The post-save delete marks the link, which Subversion removes as a link.
    EXPECT_FALSE(fs::exists(fs::symlink_status(LocalPath(kEvilAsset))));
    EXPECT_EQ(WordOf(LocalPath(kEvilAsset)) & qor4::FileStatus::kMarkedForDelete, qor4::FileStatus::kMarkedForDelete);
}

TEST_F(HostileRepositoryTest, CheckOutShowsMarkupAsANameAndGoesOnBesideAnOddName)
{
    AnswerDialog(DialogButton::CheckOut);

    EXPECT_TRUE(Helper().PromptCheckOutObjects(Handles({markup, rock}), true, false, "Edit the assets?"));

    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].assetsText, QString::fromUtf8(kMarkupName) + "\nrock\n");
    // rock's own files only: rock_big's texture is not rock's to lock.
    ExpectStates({markup->GetAssetFile(), LocalPath(kRock), LocalPath(kRockTexture)}, CheckedOutIn(""));
    EXPECT_EQ(WordOf(LocalPath(kRockBigTexture)) & qor4::FileStatus::kLockedByMe, 0u);
    const std::vector<std::string> warnings = LogTexts(Log::MsgType::Warning);
    EXPECT_EQ(std::count_if(warnings.begin(), warnings.end(),
                            [](const std::string& text) { return text.find("bad\\xFF.qor") != std::string::npos; }),
              1)
        << ::testing::PrintToString(warnings);
}

// rock_big's texture, offered to rock too: rock's files, its state and its save keep to rock's own.
TEST_F(HostileRepositoryTest, TheLongerNamedAssetsFileStaysOutOfTheOthersFilesStateAndSaveAndAHookRefusesTheSubmit)
{
    WithoutWindows();
    QStringList files;
    HelperInterface().GetAssetFiles(Handle(rock), files);
    EXPECT_EQ(files,
              (QStringList{QString::fromStdString(LocalPath(kRock)), QString::fromStdString(LocalPath(kRockTexture))}));
    ASSERT_EQ(Sandbox().RunSvn(kOtherUser, {"lock", kRockBigTexture}), 0);
    std::list<qor4::StatusWord> states;
    ASSERT_EQ(HelperInterface().GetAccessStates(Handles({rock, rockBig}), true, true, states).GetCode(), 0);
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states.front() & qor4::FileStatus::kLockedByOther, 0u);
    EXPECT_EQ(states.back() & qor4::FileStatus::kLockedByOther, qor4::FileStatus::kLockedByOther);

    Properties().SetActionWhenEditingReadOnlyAsset(Props::kPrompt);
    Touch(rock);
    const standin::SaveResult saved = Library().Save();

    EXPECT_TRUE(saved.Succeeded());
    EXPECT_EQ(saved.writtenFiles, (std::vector<std::string>{LocalPath(kRock), LocalPath(kRockTexture)}));
    ExpectStates({LocalPath(kRock), LocalPath(kRockTexture)}, CheckedOutIn(""));
    EXPECT_EQ(ContentOf(LocalPath(kRockBigTexture)), "rock big");

    // The hook's refusal of the submit comes back as one line, still markup, cut well short of its
    // 200,000 bytes; the work is kept.
    std::ofstream(LocalPath(kRock), std::ios::trunc) << "rock, edited";
    const standin::ChangeListResult submitted = Worker().Submit(CurrentSession(), "");

    EXPECT_EQ(submitted.revision, 0);
    EXPECT_NE(submitted.code, standin::ServerCode::kOutcomeUnknown);
    EXPECT_NE(submitted.text.find("Nothing was submitted"), std::string::npos) << submitted.text.substr(0, 300);
    EXPECT_NE(submitted.text.find("<h1>Refused</h1><a href=\"file:///etc/passwd\">"), std::string::npos)
        << submitted.text.substr(0, 300);
    EXPECT_LT(submitted.text.size(), kMostMessageBytes);
    EXPECT_NE(submitted.text.find("more bytes]"), std::string::npos);
    EXPECT_EQ(std::count(submitted.text.begin(), submitted.text.end(), '\n'), 1);
    ExpectStates({LocalPath(kRock)}, CheckedOutIn(""));
    EXPECT_EQ(ContentOf(LocalPath(kRock)), "rock, edited");
}

// The fence's answers for the ways a path can lead out: at any depth, through chains of links,
// relative links, "..", dangling links and loops; and what it lets through.
TEST(WorkingCopyFence, EveryWayOutIsRefusedAndWaysThatStayInsideAreNot)
{
    QTemporaryDir folder;
    const fs::path top(folder.path().toStdString());
    const fs::path root = top / "wc";
    fs::create_directories(root / "a" / "b");
    fs::create_directories(top / "out");
    fs::create_directory_symlink("../../../out", root / "a" / "b" / "deep");     // relative, out
    fs::create_directory_symlink("b", root / "a" / "inside");                    // relative, inside
    fs::create_symlink(root / "a" / "b" / "deep" / "x.qor", root / "chain.qor"); // through a link out
    fs::create_symlink(top / "out" / "missing.qor", root / "dangling.qor");      // dangling, out
    fs::create_symlink("loop2.qor", root / "loop1.qor");
    fs::create_symlink("loop1.qor", root / "loop2.qor");
    fs::create_symlink("a/b/file.qor", root / "alias.qor"); // inside
    const standin::WorkingCopyFence fence(root.string());
    const std::string w = root.string() + "/";

    for (const std::string& path :
         {w + "plain.qor", w + "a/b/new/file.qor", w + "a/inside/file.qor", w + "alias.qor", w + "a/../a/b/file.qor"})
        EXPECT_EQ(fence.RefuseChange(path), "") << path;
    const std::string out = (top / "out").string();
    const struct {
        std::string path;
        std::string refusal;
    } refused[] = {
        {w + "a/b/deep/x.qor",
         "a/b/deep/x.qor lies in a/b/deep, a symbolic link to " + out + ", outside the working copy: not changed"},
        {w + "chain.qor", "chain.qor is a symbolic link to " + out + "/x.qor, outside the working copy: not changed"},
        {w + "dangling.qor",
         "dangling.qor is a symbolic link to " + out + "/missing.qor, outside the working copy: not changed"},
        {w + "loop1.qor", "loop1.qor is a symbolic link whose links loop: not changed"},
        {w + "a/inside/../../../out/x.qor",
         "a/inside/../../../out/x.qor is outside the working copy " + root.string() + ": not changed"},
        {out + "/x.qor", out + "/x.qor is outside the working copy " + root.string() + ": not changed"},
    };
    for (const auto& entry : refused)
        EXPECT_EQ(fence.RefuseChange(entry.path), entry.refusal) << entry.path;

    // A link is removed as itself; nothing is removed through a linked folder.
    EXPECT_EQ(fence.RefuseRemoval(w + "chain.qor"), "");
    EXPECT_EQ(fence.RefuseRemoval(w + "a/b/deep/x.qor"),
              "a/b/deep/x.qor lies in a/b/deep, a symbolic link to " + out + ", outside the working copy: not removed");
    // Without a working copy there is nothing to keep inside.
    EXPECT_EQ(standin::WorkingCopyFence().RefuseChange(out + "/x.qor"), "");
}

} // namespace
