// The demo's listing of a working copy another user filled (links out of it, assets whose names
// prefix each other), and the names New Asset accepts.
#include "FileStateText.h"
#include "NewAssetName.h"
#include "WorkingCopyScan.h"

#include "SvnSandbox.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Listed(const std::vector<demo::ManifestAsset>& assets)
{
    std::vector<std::string> lines;
    for (const demo::ManifestAsset& asset : assets) {
        std::string line = asset.name + ":";
        for (const std::string& file : asset.depotFiles)
            line += " " + file;
        lines.push_back(line);
    }
    return lines;
}

TEST(WorkingCopyListingTest, LinksAreListedAsThemselvesAndEachTextureGoesToItsOneAsset)
{
    QTemporaryDir outside;
    const fs::path sentinel(outside.path().toStdString());
    std::ofstream(sentinel / "secret.qor") << "outside\n";
    fs::create_directory(sentinel / "outdir");
    std::ofstream(sentinel / "outdir" / "inner.qor") << "outside\n";
    std::ofstream(sentinel / "outdir" / "inner_diffuse.tex") << "outside\n";

    SvnSandbox sandbox({{"alice", "alice-secret"}, {"bob", "bob-secret"}});
    ASSERT_EQ(sandbox.Error(), "");
    ASSERT_EQ(sandbox.Commit("bob", {{"props/rock.qor", "r"},
                                     {"props/rock_diffuse.tex", "r"},
                                     {"props/rock_big.qor", "b"},
                                     {"props/rock_big_diffuse.tex", "b"},
                                     {"props/rock_big_old_normal.tex", "b"},
                                     {"props/stray_diffuse.tex", "s"}}),
              "");
    const fs::path bobs(sandbox.WorkingCopy("bob"));
    fs::create_symlink(sentinel / "secret.qor", bobs / "props" / "evil.qor");
    fs::create_symlink(sentinel / "nowhere.qor", bobs / "props" / "dangling.qor");
    fs::create_directory_symlink(sentinel / "outdir", bobs / "linkdir");
    ASSERT_EQ(sandbox.RunSvn("bob", {"add", "props/evil.qor", "props/dangling.qor", "linkdir"}), 0);
    ASSERT_EQ(sandbox.RunSvn("bob", {"commit", "-m", "links"}), 0);
    ASSERT_EQ(sandbox.Update("alice"), "");

    const std::vector<std::string> expected{
        "dangling: props/dangling.qor",
        "evil: props/evil.qor",
        "rock: props/rock.qor props/rock_diffuse.tex",
        "rock_big: props/rock_big.qor props/rock_big_diffuse.tex props/rock_big_old_normal.tex",
    };
    EXPECT_EQ(Listed(demo::ScanWorkingCopy(QString::fromStdString(sandbox.WorkingCopy("alice")))), expected);
}

TEST(WorkingCopyListingTest, ALinkShowsAsALinkOnDisk)
{
    demo::FileState state;
    state.exists = true;
    state.linkTarget = "/tmp/x";
    EXPECT_EQ(demo::DescribeDiskState(state), "symbolic link to /tmp/x");
}

TEST(NewAssetNameTest, OnlyAPlainNameIsAcceptedAndEveryRefusalSaysWhy)
{
    for (const char* name : {"rock", "rock_big", "Fels 2", "caf\xc3\xa9", "a.b"})
        EXPECT_EQ(demo::NewAssetNameProblem(name), "") << name;
    const struct {
        std::string name;
        std::string why;
    } refused[] = {
        {"", "A new asset needs a name."},
        {"../../outside/pwned", "The name of an asset is a plain name: it may not hold '/' or '\\'."},
        {"/tmp/pwned", "The name of an asset is a plain name: it may not hold '/' or '\\'."},
        {"a\\b", "The name of an asset is a plain name: it may not hold '/' or '\\'."},
        {"..", "The name of an asset is a plain name: it may not hold \"..\"."},
        {".hidden", "The name of an asset may not begin with '.'."},
        {"bell\a", "The name of an asset may not hold control characters."},
        {"line\nbreak", "The name of an asset may not hold control characters."},
        {"c1\xc2\x85", "The name of an asset may not hold control characters."},
        {"bad\xff", "The name is not valid UTF-8 text."},
    };
    for (const auto& entry : refused)
        EXPECT_EQ(demo::NewAssetNameProblem(entry.name), entry.why) << entry.name;
}

} // namespace
