// The item library's save: notifications with veto, files really written and removed, the save
// record of the multi-file data source, and ancestor versions.
#include "ModelFixture.h"

#include "ModelAssetFiles.h"

#include <fstream>
#include <sstream>

namespace modeltest {
namespace {

using standin::ObjectKind;
namespace mask = opal::datamodel::NotificationMask;

std::string ReadFile(const std::string& path)
{
    std::ifstream stream(path);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

class SaveTest : public ModelFixture {
protected:
    struct Record {
        std::list<std::string> deleted;
        std::vector<std::string> objects;
        std::vector<bool> withoutAncestor;
        std::list<std::string> files;
    };

    Record TakeRecord() const
    {
        Record record;
        qor4::List<qor4::QORHandle<qor4::IDbObject>> objects;
        auto& source = manager->GetMultiFileDataSource();
        source.GetDeletedFiles(record.deleted);
        source.GetSavedObjects(objects, record.files);
        for (const auto& object : objects) {
            record.objects.push_back(object.GetName());
            record.withoutAncestor.push_back(object.GetAncestorId().IsNull());
        }
        return record;
    }
};

TEST_F(SaveTest, ListenersHearPreSaveThenPostSaveWithTheLibraryAndMayUnregisterMeanwhile)
{
    RecordingListener saver;
    RecordingListener recordOnly;
    RecordingListener deaf;
    RecordingListener removed;
    saver.onPreSave = [&](bool*) { library->RemoveNotification(&removed, 40, 2); };
    library->AddNotification(&saver, 40, 2);
    library->AddNotification(&removed, 40, 2);
    library->AddNotification(&recordOnly, mask::kSaveRecord, 2);
    library->AddNotification(&deaf, mask::kItems | mask::kAccessState, 2);

    EXPECT_TRUE(library->Save().Succeeded());
    EXPECT_EQ(saver.events, (std::vector<std::string>{"PreSave", "PostSave"}));
    EXPECT_EQ(recordOnly.events, std::vector<std::string>{"PostSave"});
    EXPECT_TRUE(deaf.events.empty());
    EXPECT_TRUE(removed.events.empty());
    EXPECT_FALSE(saver.lastLibrary != library->GetAccessor());
}

TEST_F(SaveTest, AVetoStopsTheSaveBeforeAnythingIsWritten)
{
    auto* hero = NewAsset("hero");
    manager->AddObject(hero, "meta", ObjectKind::Metadata);
    RecordingListener vetoing;
    RecordingListener later;
    vetoing.onPreSave = [](bool* cancel) { *cancel = true; };
    library->AddNotification(&vetoing, mask::kSave, 1);
    library->AddNotification(&later, mask::kSave, 1);

    const standin::SaveResult result = library->Save();

    EXPECT_TRUE(result.vetoed);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_EQ(vetoing.events, std::vector<std::string>{"PreSave"});
    EXPECT_TRUE(later.events.empty());
    EXPECT_FALSE(standin::FileExists(PathOf("hero.qor")));
    EXPECT_TRUE(hero->IsDirty());
    EXPECT_TRUE(TakeRecord().objects.empty());
}

TEST_F(SaveTest, NewAssetsGetTheirFilesAndAVersionAfterThePostSaveListeners)
{
    auto* rock = NewAsset("rock", {"textures/rock.png"});
    auto* meta = manager->AddObject(rock, "rockMeta", ObjectKind::Metadata);
    RecordingListener listener;
    Record seenInPostSave;
    listener.onPostSave = [&] { seenInPostSave = TakeRecord(); };
    library->AddNotification(&listener, 40, 1);

    const standin::SaveResult result = library->Save();

    ASSERT_TRUE(result.Succeeded());
    EXPECT_TRUE(standin::FileExists(PathOf("rock.qor")));
    EXPECT_TRUE(standin::FileExists(PathOf("textures/rock.png")));
    EXPECT_NE(ReadFile(PathOf("rock.qor")).find(rock->GetIdText()), std::string::npos);
    EXPECT_FALSE(standin::FileExists(PathOf("rock.qor.saving")));
    EXPECT_EQ(result.writtenFiles, (std::vector<std::string>{PathOf("rock.qor"), PathOf("textures/rock.png")}));

    EXPECT_EQ(seenInPostSave.objects, (std::vector<std::string>{"rock", "rockMeta"}));
    EXPECT_EQ(seenInPostSave.withoutAncestor, (std::vector<bool>{true, true}));
    EXPECT_EQ(seenInPostSave.files, (std::list<std::string>{PathOf("rock.qor"), PathOf("textures/rock.png")}));
    EXPECT_FALSE(rock->IsDirty());
    EXPECT_FALSE(meta->IsDirty());
    EXPECT_EQ(rock->GetAncestorId().GetStr(), standin::DataModelMgr::kFirstVersion);
    EXPECT_EQ(meta->GetAncestorId().GetStr(), standin::DataModelMgr::kFirstVersion);
    EXPECT_EQ(manager->CountOutsideReferences(), 0) << "the save record holds no references";
}

TEST_F(SaveTest, ASecondSaveWritesOnlyDirtyPersistableAssetsAndRaisesTheirVersion)
{
    auto* hero = NewAsset("hero", {}, true);
    auto* heroMeta = manager->AddObject(hero, "heroMeta", ObjectKind::Metadata);
    auto* tree = NewAsset("tree", {}, true);
    auto* scratch = manager->AddObject(tree, "scratch", ObjectKind::Metadata);
    scratch->SetPersistable(false);
    ASSERT_TRUE(library->Save().Succeeded());
    manager->GetMultiFileDataSource().ClearSaveRecord();
    manager->MarkDirty(heroMeta);

    const standin::SaveResult result = library->Save();

    EXPECT_EQ(result.writtenFiles, std::vector<std::string>{PathOf("hero.qor")});
    const Record record = TakeRecord();
    EXPECT_EQ(record.objects, std::vector<std::string>{"heroMeta"});
    EXPECT_EQ(record.withoutAncestor, std::vector<bool>{false});
    EXPECT_EQ(heroMeta->GetAncestorId().GetStr(), "2");
    EXPECT_EQ(tree->GetAncestorId().GetStr(), "1");
    EXPECT_TRUE(scratch->IsDirty()) << "non-persistable objects are never saved";
    EXPECT_EQ(manager->GetMultiFileDataSource().GetClearCount(), 1);
}

TEST_F(SaveTest, AReadOnlyFileRefusesItsAssetButOthersAreSaved)
{
    auto* locked = NewAsset("locked", {"locked.png"}, true);
    auto* lockedMeta = manager->AddObject(locked, "lockedMeta", ObjectKind::Metadata);
    auto* open = NewAsset("open");
    const std::string before = ReadFile(PathOf("locked.qor"));
    ASSERT_TRUE(standin::SetReadOnlyOnDisk(PathOf("locked.png"), true));

    const standin::SaveResult result = library->Save();

    EXPECT_FALSE(result.Succeeded());
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].asset, "locked");
    EXPECT_EQ(result.failures[0].file, PathOf("locked.png"));
    EXPECT_FALSE(result.failures[0].reason.empty());
    EXPECT_EQ(ReadFile(PathOf("locked.qor")), before) << "a writable file of a refused asset is left alone";
    EXPECT_FALSE(standin::FileExists(PathOf("locked.qor.saving")));
    EXPECT_TRUE(lockedMeta->IsDirty());
    EXPECT_TRUE(lockedMeta->GetAncestorId().IsNull());
    EXPECT_FALSE(open->IsDirty());
    EXPECT_EQ(TakeRecord().objects, std::vector<std::string>{"open"});

    ASSERT_TRUE(standin::SetReadOnlyOnDisk(PathOf("locked.png"), false));
    EXPECT_TRUE(library->Save().Succeeded());
    EXPECT_FALSE(lockedMeta->IsDirty());
}

TEST_F(SaveTest, DeletedSavedAssetsLoseTheirFilesAndTheRecordNamesThem)
{
    auto* rock = NewAsset("rock", {"rock.png"}, true);
    auto* fresh = NewAsset("fresh");
    manager->DeleteAsset(rock);
    manager->DeleteAsset(fresh);
    ASSERT_TRUE(standin::SetReadOnlyOnDisk(PathOf("rock.qor"), true));

    const standin::SaveResult result = library->Save();

    EXPECT_TRUE(result.Succeeded());
    EXPECT_FALSE(standin::FileExists(PathOf("rock.qor")));
    EXPECT_FALSE(standin::FileExists(PathOf("rock.png")));
    EXPECT_FALSE(standin::FileExists(PathOf("fresh.qor"))) << "a deleted new asset is never written";
    const Record record = TakeRecord();
    EXPECT_EQ(record.deleted, (std::list<std::string>{PathOf("rock.qor"), PathOf("rock.png")}));
    EXPECT_TRUE(record.objects.empty());
    EXPECT_TRUE(manager->GetPendingDeletions().empty());

    manager->GetMultiFileDataSource().ClearSaveRecord();
    library->Save();
    EXPECT_TRUE(TakeRecord().deleted.empty()) << "files are removed once";
}

} // namespace
} // namespace modeltest
