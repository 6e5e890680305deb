// The data-model manager: the save workflow's query, lookups, handles, assets and data sources.
#include "ModelFixture.h"

#include "ModelAssetFiles.h"

#include "qor4/IDataControl.h"

#include <stdexcept>

namespace modeltest {
namespace {

using standin::DataModelMgr;
using standin::ObjectKind;
using Handles = qor4::List<qor4::QORHandle<qor4::IDbObject>>;

using DataModelQueryTest = ModelFixture;

TEST_F(DataModelQueryTest, AnswersDirtyPersistableMetadataAndValueAssetsInCreationOrder)
{
    auto* hero = NewAsset("hero");
    auto* heroMeta = manager->AddObject(hero, "heroMeta", ObjectKind::Metadata);
    auto* other = manager->AddObject(hero, "heroOther", ObjectKind::Other);
    auto* tree = NewAsset("tree", {}, true);
    auto* treeValue = manager->AddObject(tree, "treeValue", ObjectKind::ValueAsset);
    manager->AddObject(tree, "transient", ObjectKind::Metadata)->SetPersistable(false);
    manager->AddObject(tree, "clean", ObjectKind::Metadata)->SetDirty(false);
    auto* gone = NewAsset("gone", {}, true);
    manager->AddObject(gone, "goneMeta", ObjectKind::Metadata);
    manager->DeleteAsset(gone);
    ASSERT_TRUE(hero->IsDirty());
    ASSERT_TRUE(other->IsDirty());

    Handles results;
    EXPECT_EQ(
        manager->ExecuteQuery(DataModelMgr::kDirtyPersistableQuery, DataModelMgr::kDirtyPersistableQueryMode, results)
            .GetCode(),
        qor4::kResultOk);
    EXPECT_EQ(Names(results), (std::vector<std::string>{"heroMeta", "treeValue"}));
    EXPECT_EQ(results.front().Get(), static_cast<qor4::IDbObject*>(heroMeta));
    EXPECT_EQ(results.back().Get(), static_cast<qor4::IDbObject*>(treeValue));
}

TEST_F(DataModelQueryTest, OnlyTheSaveWorkflowsLiteralTextAndModeAreUnderstood)
{
    manager->AddObject(NewAsset("hero"), "meta", ObjectKind::Metadata);
    const std::string literal = "select object where OR(AND(IS_PERSISTABLE,AND(IS_METADATA, IS_DIRTY)),"
                                "AND(IS_PERSISTABLE,AND(IS_VALUE_ASSET, IS_DIRTY)))";
    ASSERT_EQ(literal.size(), 120u);
    const struct {
        std::string text;
        int mode;
        std::size_t answered;
    } cases[] = {{literal, 3, 1}, {"select object where IS_DIRTY", 3, 0}, {DataModelMgr::kDirtyPersistableQuery, 1, 0}};
    for (const auto& query : cases) {
        SCOPED_TRACE(query.text + " / " + std::to_string(query.mode));
        Handles results;
        EXPECT_EQ(manager->ExecuteQuery(query.text, query.mode, results).Succeeded(), query.answered != 0);
        EXPECT_EQ(results.size(), query.answered);
    }
}

using DataModelLookupTest = ModelFixture;

TEST_F(DataModelLookupTest, UnloadedObjectsAreFoundOnlyByLoadingAndUnknownIdsGiveNullHandles)
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
    const auto heroHandle = Handle(hero);
    const auto metaHandle = Handle(manager->AddObject(hero, "meta", ObjectKind::Metadata));
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
    EXPECT_EQ(fromLookup.GetManager().Get(), static_cast<qor4::IDataModelMgr*>(manager.Get()));
    EXPECT_EQ(tree->GetCacheIndex(), hero->GetCacheIndex() + 1);

    const auto otherManager = DataModelMgr::Create();
    auto* twin = otherManager->CreateAsset({"hero", PathOf("hero.qor"), {}, false});
    EXPECT_EQ(twin->GetCacheIndex(), hero->GetCacheIndex());
    EXPECT_NE(Handle(twin), Handle(hero)) << "same cache index in another instance is another object";
    EXPECT_NE(twin->GetIdText(), hero->GetIdText());
}

using DataModelObjectTest = ModelFixture;

TEST_F(DataModelObjectTest, AssetsOwnTheirObjectsFilesAndAncestry)
{
    auto* rock = NewAsset("rock", {"textures/rock.png", "textures/rock_n.png"});
    auto* meta = manager->AddObject(rock, "meta", ObjectKind::Metadata);
    auto* value = manager->AddObject(rock, "value", ObjectKind::ValueAsset);
    EXPECT_FALSE(qor4::QORHandle<qor4::IAsset>(Handle(rock)).IsNull());
    EXPECT_TRUE(qor4::QORHandle<qor4::IAsset>(Handle(meta)).IsNull());
    EXPECT_TRUE(qor4::QORHandle<qor4::IAsset>(Handle(value)).IsNull());
    EXPECT_EQ(meta->GetOwningAsset(), rock);
    EXPECT_EQ(rock->GetOwningAsset(), rock);
    EXPECT_EQ(manager->AddObject(meta, "nested", ObjectKind::Metadata), nullptr) << "objects live in assets only";

    EXPECT_EQ(meta->GetAssetFile(), PathOf("rock.qor"));
    EXPECT_EQ(meta->GetExternalFiles(), rock->GetExternalFiles());
    EXPECT_EQ(standin::AssetFilePaths(*rock), (std::vector<std::string>{PathOf("rock.qor"), PathOf("textures/rock.png"),
                                                                        PathOf("textures/rock_n.png")}));
    manager->Relate(meta, value);
    manager->Relate(meta, value);
    EXPECT_EQ(meta->GetRelatedObjects(), std::vector<standin::DbObject*>{value}) << "related both ways, once";
    EXPECT_EQ(value->GetRelatedObjects(), std::vector<standin::DbObject*>{meta});

    // Only saved assets have an ancestor and files on disk.
    auto* saved = NewAsset("saved", {"saved.png"}, true);
    EXPECT_TRUE(rock->GetAncestorId().IsNull());
    EXPECT_FALSE(standin::FileExists(PathOf("rock.qor")));
    EXPECT_FALSE(saved->GetAncestorId().IsNull());
    EXPECT_FALSE(saved->IsDirty());
    EXPECT_TRUE(standin::FileExists(PathOf("saved.qor")));
    EXPECT_TRUE(standin::FileExists(PathOf("saved.png")));
}

TEST_F(DataModelObjectTest, OutsideReferencesAreCountedUntilReleasedAndObjectsOutliveTheirManager)
{
    auto* hero = NewAsset("hero");
    EXPECT_EQ(manager->CountOutsideReferences(), 0);
    {
        const auto first = Handle(hero);
        Handles results;
        manager->AddObject(hero, "meta", ObjectKind::Metadata);
        manager->ExecuteQuery(DataModelMgr::kDirtyPersistableQuery, 3, results);
        EXPECT_EQ(manager->CountOutsideReferences(), 2);
    }
    EXPECT_EQ(manager->CountOutsideReferences(), 0);

    const int before = standin::DbObject::LiveObjectCount();
    auto local = DataModelMgr::Create();
    const auto handle = Handle(local->CreateAsset({"held", PathOf("held.qor"), {}, false}));
    local.Reset();
    EXPECT_EQ(standin::DbObject::LiveObjectCount(), before + 1);
    EXPECT_FALSE(handle.IsValid());
    EXPECT_TRUE(handle.GetManager().IsNull());
    EXPECT_EQ(handle.GetInstance(), nullptr);
}

using DataModelServicesTest = ModelFixture;

TEST_F(DataModelServicesTest, ComponentsAreNarrowedAndTheInstanceMayBeMissing)
{
    const auto instance = manager->GetManagerInstance();
    ASSERT_FALSE(instance.IsNull());
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

} // namespace
} // namespace modeltest
