// The demo's listing of a working copy another user filled (links out of it, assets whose names
// prefix each other), Refresh's rescan after an update, and the names New Asset accepts.
#include "AssetRescan.h"
#include "FileStateText.h"
#include "NewAssetName.h"
#include "WorkingCopyScan.h"

#include "SvnSandbox.h"
#include "datamodel/DataModelMgr.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

namespace fs = std::filesystem;

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
    std::vector<std::string> listed;
    for (const demo::ManifestAsset& asset :
         demo::ScanWorkingCopy(QString::fromStdString(sandbox.WorkingCopy("alice")))) {
        listed.push_back(asset.name + ":");
        for (const std::string& file : asset.depotFiles)
            listed.back() += " " + file;
    }
    EXPECT_EQ(listed, expected);
}

std::vector<std::string> LiveAssets(const standin::DataModelMgr& model)
{
    std::vector<std::string> names;
    for (const standin::DbObject* object : model.GetObjects())
        if (object->IsAsset() && object->IsAlive()) names.push_back(object->GetName());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WorkingCopyListingTest, RescanFollowsAnUpdateAndKeepsUnsavedEdits)
{
    using Names = std::vector<std::string>;
    SvnSandbox sandbox({{"alice", "alice-secret"}, {"bob", "bob-secret"}});
    ASSERT_EQ(sandbox.Error(), "");
    ASSERT_EQ(sandbox.Commit("bob", {{"props/chair.qor", "c"},
                                     {"props/chair_diffuse.tex", "c"},
                                     {"props/desk.qor", "d"},
                                     {"props/lamp.qor", "l"}}),
              "");
    const std::string alices = sandbox.WorkingCopy("alice");
    const QString root = QString::fromStdString(alices);
    qor4::QORPtr<standin::DataModelMgr> model = standin::DataModelMgr::Create();
    model->SetWorkingCopy(alices);
    std::map<std::string, standin::DbObject*> edits; // asset name to the object an editor changes
    auto add = [&](const demo::ManifestAsset& listed) {
        std::vector<std::string> files;
        for (const std::string& file : listed.depotFiles)
            files.push_back(alices + "/" + file);
        const std::string assetFile = files.front();
        files.erase(files.begin());
        standin::DbObject* asset = model->CreateAsset({listed.name, assetFile, files, true});
        edits[listed.name] = model->AddObject(asset, listed.name + ".meta", standin::ObjectKind::Metadata);
        edits[listed.name]->SetDirty(false);
    };
    EXPECT_EQ(demo::RescanAssets(*model, root, add).added, (Names{"chair", "desk", "lamp"}));

    // Alice edits desk and starts a new asset; bob removes desk and lamp and adds table, alice updates.
    model->MarkDirty(edits.at("desk"));
    model->CreateAsset({"stool", alices + "/props/stool.qor", {}, false});
    ASSERT_EQ(sandbox.RunSvn("bob", {"rm", "props/desk.qor", "props/lamp.qor"}), 0);
    ASSERT_EQ(sandbox.RunSvn("bob", {"commit", "-m", "gone"}), 0);
    ASSERT_EQ(sandbox.Commit("bob", {{"props/table.qor", "t"}, {"props/table_normal.tex", "t"}}), "");
    ASSERT_FALSE(fs::exists(alices + "/props/lamp.qor"));

    const demo::RescanOutcome rescan = demo::RescanAssets(*model, root, add);
    EXPECT_EQ(rescan.added, Names{"table"});
    EXPECT_EQ(rescan.dropped, Names{"lamp"});
    EXPECT_EQ(rescan.keptEdited, Names{"desk"});
    EXPECT_EQ(LiveAssets(*model), (Names{"chair", "desk", "stool", "table"}));
    EXPECT_TRUE(edits.at("desk")->IsDirty() && edits.at("desk")->IsAlive());
    EXPECT_TRUE(model->GetPendingDeletions().empty()); // the save has nothing of lamp's to remove
    standin::DbObject* table = edits.at("table")->GetOwningAsset();
    EXPECT_EQ(table->GetExternalFiles(), Names{alices + "/props/table_normal.tex"});

    // Nothing new the second time; a gone asset that was forgotten comes back when it returns.
    EXPECT_EQ(demo::RescanAssets(*model, root, add).added, Names{});
    ASSERT_EQ(sandbox.Commit("bob", {{"props/lamp.qor", "l2"}}), "");
    EXPECT_EQ(demo::RescanAssets(*model, root, add).added, Names{"lamp"});
    EXPECT_EQ(LiveAssets(*model), (Names{"chair", "desk", "lamp", "stool", "table"}));
}

TEST(WorkingCopyListingTest, TheWindowSaysALinkAndUsesTheFailureTextsWords)
{
    demo::FileState state;
    state.exists = true;
    state.linkTarget = "/tmp/x";
    EXPECT_EQ(demo::DescribeDiskState(state), "symbolic link to /tmp/x");
    state.statusKnown = true;
    state.status = qor4::FileStatus::kNotInDepot;
    EXPECT_EQ(demo::DescribeServerState(state), "not in the database");
    state.status = qor4::FileStatus::kCheckedOut | qor4::FileStatus::kNotAtHead;
    EXPECT_EQ(demo::DescribeServerState(state), "checked out in default changelist; not at the head revision");

    // The pending changelists are those the rows show files opened in, the default one included.
    auto file = [](qor4::StatusWord status, const std::string& changeList, bool known = true) {
        demo::FileState opened;
        opened.statusKnown = known;
        opened.status = status;
        opened.changeList = changeList;
        return opened;
    };
    namespace st = qor4::FileStatus;
    EXPECT_EQ(demo::ChangeListsOfFiles(
                  {file(st::kCheckedOutByOther, ""), file(st::kLockedByMe, ""), file(st::kCheckedOut, "", false)}),
              std::vector<std::string>{});
    EXPECT_EQ(demo::ChangeListsOfFiles({file(st::kMarkedForAdd, "4"), file(st::kCheckedOut | st::kLockedByMe, ""),
                                        file(st::kMarkedForDelete, "4"), file(st::kCheckedOut, "")}),
              (std::vector<std::string>{"4", ""}));
}

TEST(NewAssetNameTest, OnlyAPlainNameIsAcceptedAndEveryRefusalSaysWhy)
{
    for (const char* name : {"rock", "rock_big", "Fels 2", "caf\xc3\xa9", "a.b"})
        EXPECT_EQ(demo::NewAssetNameProblem(name), "") << name;
    const std::string slash = "The name of an asset is a plain name: it may not hold '/' or '\\'.";
    const std::string control = "The name of an asset may not hold control characters.";
    const std::pair<std::string, std::string> refused[] = {
        {"", "A new asset needs a name."},
        {"../../outside/pwned", slash},
        {"/tmp/pwned", slash},
        {"a\\b", slash},
        {"..", "The name of an asset is a plain name: it may not hold \"..\"."},
        {".hidden", "The name of an asset may not begin with '.'."},
        {"bell\a", control},
        {"line\nbreak", control},
        {"c1\xc2\x85", control},
        {"bad\xff", "The name is not valid UTF-8 text."}};
    for (const auto& [name, why] : refused)
        EXPECT_EQ(demo::NewAssetNameProblem(name), why) << name;
}

} // namespace
