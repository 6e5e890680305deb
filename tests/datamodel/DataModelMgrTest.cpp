// The data-model manager: the save workflow's query, lookups, handles, assets and data sources.
#include "ModelFixture.h"

#include "ModelAssetFiles.h"

#include "qor4/IDataControl.h"

#include <stdexcept>

namespace modeltest {
namespace {

using standin::DataModelMgr;
using standin::ObjectKind;

using DataModelQueryTest = ModelFixture;

TEST_F(DataModelQueryTest, AnswersDirtyPersistableMetadataAndValueAssetsInCreationOrder)
{
    auto* hero = NewAsset("hero");
    auto* heroMeta = manager->AddObject(hero, "heroMeta", ObjectKind::Metadata);
    auto* other = manager->AddObject(hero, "heroOther", ObjectKind::Other);
    auto* tree = NewAsset("tree", {}, true);
    auto* treeValue = manager->AddObject(tree, "treeValue", ObjectKind::ValueAsset);
    auto* transient = manager->AddObject(tree, "transient", ObjectKind::Metadata);
    transient->SetPersistable(false);
    auto* clean = manager->AddObject(tree, "clean", ObjectKind::Metadata);
    clean->SetDirty(false);
    ASSERT_TRUE(hero->IsDirty());
    ASSERT_TRUE(other->IsDirty());

    qor4::List<qor4::QORHandle<qor4::IDbObject>> results;
    const qor4::qorResult result =
        manager->ExecuteQuery(DataModelMgr::kDirtyPersistableQuery, DataModelMgr::kDirtyPersistableQueryMode, results);

    EXPECT_EQ(result.GetCode(), qor4::kResultOk);
    EXPECT_EQ(Names(results), (std::vector<std::string>{"heroMeta", "treeValue"}));
    EXPECT_EQ(results.front().Get(), static_cast<qor4::IDbObject*>(heroMeta));
    EXPECT_EQ(results.back().Get(), static_cast<qor4::IDbObject*>(treeValue));
}

TEST_F(DataModelQueryTest, TheSaveWorkflowsLiteralTextIsUnderstood)
{
    manager->AddObject(NewAsset("hero"), "meta", ObjectKind::Metadata);
    qor4::List<qor4::QORHandle<qor4::IDbObject>> results;
    const std::string text = "select object where OR(AND(IS_PERSISTABLE,AND(IS_METADATA, IS_DIRTY)),"
                             "AND(IS_PERSISTABLE,AND(IS_VALUE_ASSET, IS_DIRTY)))";
    ASSERT_EQ(text.size(), 120u);
    EXPECT_TRUE(manager->ExecuteQuery(text, 3, results).Succeeded());
    EXPECT_EQ(results.size(), 1u);
}

TEST_F(DataModelQueryTest, OtherQueriesAndModesFailWithoutResults)
{
    manager->AddObject(NewAsset("hero"), "meta", ObjectKind::Metadata);
    qor4::List<qor4::QORHandle<qor4::IDbObject>> results;
    EXPECT_TRUE(manager->ExecuteQuery("select object where IS_DIRTY", 3, results).Failed());
    EXPECT_TRUE(manager->ExecuteQuery(DataModelMgr::kDirtyPersistableQuery, 1, results).Failed());
    EXPECT_TRUE(results.empty());
}

TEST_F(DataModelQueryTest, DeletedObjectsAreNotAnswered)
{
    auto* hero = NewAsset("hero", {}, true);
    manager->AddObject(hero, "meta", ObjectKind::Metadata);
    manager->DeleteAsset(hero);
    qor4::List<qor4::QORHandle<qor4::IDbObject>> results;
    EXPECT_TRUE(manager->ExecuteQuery(DataModelMgr::kDirtyPersistableQuery, 3, results).Succeeded());
    EXPECT_TRUE(results.empty());
}

using DataModelLookupTest = ModelFixture;

TEST_F(DataModelLookupTest, UnloadedObjectsAreFoundOnlyByLoading)
{
    auto* hero = NewAsset("hero", {}, true);
    const qor4::DbObjectId id = hero->GetDbObjectId();
    ASSERT_TRUE(qor4::DbObjectId::IsUID(id.GetStr())) << id.GetStr();
    EXPECT_TRUE(manager->GetDbObject(id).IsValid());

    manager->SetLoaded(hero, false);
    EXPECT_TRUE(manager->GetDbObject(id).IsNull());
    const auto loaded = manager->GetOrLoadDbObject(id);
    ASSERT_TRUE(loaded.IsValid());
    EXPECT_EQ(loaded.GetName(), "hero");
    EXPECT_TRUE(manager->GetDbObject(id).IsValid()) << "loading brings the object into memory";
}

TEST_F(DataModelLookupTest, UnknownIdsGiveNullHandles)
{
    NewAsset("hero");
    const qor4::DbObjectId unknown("{00000000-0000-0000-0000-000000000000}");
    EXPECT_TRUE(manager->GetDbObject(unknown).IsNull());
    EXPECT_TRUE(manager->GetOrLoadDbObject(unknown).IsNull());
    EXPECT_TRUE(manager->GetDbObject(qor4::DbObjectId("hero")).IsNull());
}

TEST_F(DataModelLookupTest, ThrowingLookupsCanBeSimulated)
{
    const qor4::DbObjectId id = NewAsset("hero")->GetDbObjectId();
    manager->SetLookupThrows(true);
    EXPECT_THROW(manager->GetDbObject(id), std::runtime_error);
    EXPECT_THROW(manager->GetOrLoadDbObject(id), std::runtime_error);
    manager->SetLookupThrows(false);
    EXPECT_TRUE(manager->GetDbObject(id).IsValid());
}

TEST_F(DataModelLookupTest, HandlesOfDeletedObjectsStayNonNullButInvalid)
{
    auto* hero = NewAsset("hero", {}, true);
    auto* meta = manager->AddObject(hero, "meta", ObjectKind::Metadata);
    const auto heroHandle = Handle(hero);
    const auto metaHandle = Handle(meta);
    const qor4::DbObjectId heroId = hero->GetDbObjectId();

    manager->DeleteAsset(hero);

    EXPECT_FALSE(heroHandle.IsNull());
    EXPECT_FALSE(heroHandle.IsValid());
    EXPECT_FALSE(metaHandle.IsValid());
    EXPECT_EQ(heroHandle.GetName(), "hero");
    EXPECT_TRUE(manager->GetDbObject(heroId).IsNull());
    EXPECT_TRUE(manager->GetOrLoadDbObject(heroId).IsNull());
}

TEST_F(DataModelLookupTest, HandlesCompareByInstanceAndCacheIndex)
{
    auto* hero = NewAsset("hero");
    auto* tree = NewAsset("tree");
    const auto fromLookup = manager->GetDbObject(hero->GetDbObjectId());
    EXPECT_EQ(fromLookup, Handle(hero));
    EXPECT_NE(Handle(tree), Handle(hero));
    EXPECT_LT(Handle(hero), Handle(tree));
    EXPECT_EQ(fromLookup.GetInstance(), manager->GetManagerInstance().Get());
    EXPECT_EQ(hero->GetCacheIndex(), 0);
    EXPECT_EQ(tree->GetCacheIndex(), 1);

    const auto otherManager = DataModelMgr::Create();
    auto* twin = otherManager->CreateAsset({"hero", PathOf("hero.qor"), {}, false});
    EXPECT_EQ(twin->GetCacheIndex(), hero->GetCacheIndex());
    EXPECT_NE(Handle(twin), Handle(hero)) << "same cache index in another instance is another object";
    EXPECT_NE(twin->GetIdText(), hero->GetIdText());
}

TEST_F(DataModelLookupTest, HandlesReachTheirManager)
{
    const auto handle = Handle(NewAsset("hero"));
    EXPECT_EQ(handle.GetManager().Get(), static_cast<qor4::IDataModelMgr*>(manager.Get()));
}

using DataModelObjectTest = ModelFixture;

TEST_F(DataModelObjectTest, OnlyAssetsAnswerTheAssetInterface)
{
    auto* hero = NewAsset("hero");
    auto* meta = manager->AddObject(hero, "meta", ObjectKind::Metadata);
    auto* value = manager->AddObject(hero, "value", ObjectKind::ValueAsset);
    EXPECT_FALSE(qor4::QORHandle<qor4::IAsset>(Handle(hero)).IsNull());
    EXPECT_TRUE(qor4::QORHandle<qor4::IAsset>(Handle(meta)).IsNull());
    EXPECT_TRUE(qor4::QORHandle<qor4::IAsset>(Handle(value)).IsNull());
    EXPECT_EQ(meta->GetOwningAsset(), hero);
    EXPECT_EQ(hero->GetOwningAsset(), hero);
    EXPECT_EQ(manager->AddObject(meta, "nested", ObjectKind::Metadata), nullptr) << "objects live in assets only";
}

TEST_F(DataModelObjectTest, ObjectsMapToTheirAssetsFiles)
{
    auto* rock = NewAsset("rock", {"textures/rock.png", "textures/rock_n.png"});
    auto* meta = manager->AddObject(rock, "meta", ObjectKind::Metadata);
    EXPECT_EQ(meta->GetAssetFile(), PathOf("rock.qor"));
    EXPECT_EQ(meta->GetExternalFiles(), rock->GetExternalFiles());
    EXPECT_EQ(standin::AssetFilePaths(*rock), (std::vector<std::string>{PathOf("rock.qor"), PathOf("textures/rock.png"),
                                                                        PathOf("textures/rock_n.png")}));
}

TEST_F(DataModelObjectTest, NewAssetsHaveNoAncestorAndNoFilesWhileSavedOnesHaveBoth)
{
    auto* fresh = NewAsset("fresh", {"fresh.png"});
    auto* saved = NewAsset("saved", {"saved.png"}, true);
    EXPECT_TRUE(fresh->GetAncestorId().IsNull());
    EXPECT_TRUE(fresh->IsDirty());
    EXPECT_FALSE(standin::FileExists(PathOf("fresh.qor")));
    EXPECT_FALSE(saved->GetAncestorId().IsNull());
    EXPECT_FALSE(saved->IsDirty());
    EXPECT_TRUE(standin::FileExists(PathOf("saved.qor")));
    EXPECT_TRUE(standin::FileExists(PathOf("saved.png")));
}

TEST_F(DataModelObjectTest, RelationsGoBothWays)
{
    auto* hero = NewAsset("hero");
    auto* meta = manager->AddObject(hero, "meta", ObjectKind::Metadata);
    auto* tree = NewAsset("tree");
    manager->Relate(meta, tree);
    manager->Relate(meta, tree);
    EXPECT_EQ(meta->GetRelatedObjects(), std::vector<standin::DbObject*>{tree});
    EXPECT_EQ(tree->GetRelatedObjects(), std::vector<standin::DbObject*>{meta});
}

TEST_F(DataModelObjectTest, OutsideReferencesAreCountedUntilReleased)
{
    auto* hero = NewAsset("hero");
    EXPECT_EQ(manager->CountOutsideReferences(), 0);
    {
        const auto first = Handle(hero);
        qor4::List<qor4::QORHandle<qor4::IDbObject>> results;
        manager->AddObject(hero, "meta", ObjectKind::Metadata);
        manager->ExecuteQuery(DataModelMgr::kDirtyPersistableQuery, 3, results);
        EXPECT_EQ(manager->CountOutsideReferences(), 2);
    }
    EXPECT_EQ(manager->CountOutsideReferences(), 0);
}

TEST_F(DataModelObjectTest, ObjectsOutliveTheirManagerWhileHeld)
{
    const int before = standin::DbObject::LiveObjectCount();
    auto local = DataModelMgr::Create();
    const auto handle = Handle(local->CreateAsset({"hero", PathOf("hero.qor"), {}, false}));
    local.Reset();
    EXPECT_EQ(standin::DbObject::LiveObjectCount(), before + 1);
    EXPECT_FALSE(handle.IsValid());
    EXPECT_TRUE(handle.GetManager().IsNull());
    EXPECT_EQ(handle.GetInstance(), nullptr);
}

using DataModelServicesTest = ModelFixture;

TEST_F(DataModelServicesTest, ComponentsMayBeAbsentOrRegistered)
{
    const auto instance = manager->GetManagerInstance();
    ASSERT_FALSE(instance.IsNull());
    EXPECT_TRUE(instance->GetComponent(qor4::UID_DataControl()).IsNull());
    EXPECT_TRUE(instance->GetComponent(qor4::UID_FileVersionControl()).IsNull());

    manager->GetInstance()->RegisterComponent(
        qor4::UID_DataControl(), qor4::QORPtr<qor4::IQORUnknown>(static_cast<qor4::IQORUnknown*>(manager.Get())));
    EXPECT_FALSE(instance->GetComponent(qor4::UID_DataControl()).IsNull());
    EXPECT_TRUE(qor4::QORPtr<qor4::IDataControl>(instance->GetComponent(qor4::UID_DataControl())).IsNull())
        << "narrowing a component that is not a data control gives nothing";
    manager->GetInstance()->RemoveComponent(qor4::UID_DataControl());
    EXPECT_TRUE(instance->GetComponent(qor4::UID_DataControl()).IsNull());

    manager->SetInstanceAvailable(false);
    EXPECT_TRUE(manager->GetManagerInstance().IsNull());
}

TEST_F(DataModelServicesTest, DataSourcesIncludeTheMultiFileSourceAndOptionalPlainOnes)
{
    manager->AddPlainDataSource();
    auto sources = manager->GetDataSources();
    int multiFile = 0;
    int plain = 0;
    for (sources.First(); !sources.AtEnd(); sources.Next()) {
        if (qor4::QORPtr<qor4::IMultiFileDataSource>(sources.Current()).IsNull())
            ++plain;
        else
            ++multiFile;
    }
    EXPECT_EQ(multiFile, 1);
    EXPECT_EQ(plain, 1);
}

} // namespace
} // namespace modeltest
