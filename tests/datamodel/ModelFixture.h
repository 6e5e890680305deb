// A fresh data model on a temporary folder for every test, and a listener that records what the
// item library told it.
#pragma once

#include "DataModelMgr.h"
#include "ItemLibrary.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace modeltest {

class RecordingListener : public opal::datamodel::IItemLibraryNotification {
public:
    struct AccessState {
        std::string uid;
        std::uint32_t state;
    };

    void OnItemsAdded(const opal::datamodel::ItemLibraryAccessor&) override { events.push_back("ItemsAdded"); }
    void OnItemsRemoved(const opal::datamodel::ItemLibraryAccessor&) override { events.push_back("ItemsRemoved"); }
    void OnItemChanged(const opal::datamodel::ItemLibraryAccessor&, const opal::datamodel::ItemID&) override
    {
        events.push_back("ItemChanged");
    }
    void OnItemRenamed(const opal::datamodel::ItemLibraryAccessor&, const opal::datamodel::ItemID&) override
    {
        events.push_back("ItemRenamed");
    }
    void OnItemAccessStateChanged(const opal::datamodel::ItemLibraryAccessor& library,
                                  const opal::datamodel::ItemID& item, std::uint32_t state) override
    {
        events.push_back("AccessState");
        lastLibrary = library;
        accessStates.push_back({opal::datamodel::ItemIDUnlock::GetItemIDUID(item), state});
    }
    void OnLibraryClosing(const opal::datamodel::ItemLibraryAccessor&) override { events.push_back("Closing"); }
    void OnPreSave(const opal::datamodel::ItemLibraryAccessor& library, bool* cancel) override
    {
        events.push_back("PreSave");
        lastLibrary = library;
        if (onPreSave) onPreSave(cancel);
    }
    void OnPostSave(const opal::datamodel::ItemLibraryAccessor& library) override
    {
        events.push_back("PostSave");
        lastLibrary = library;
        if (onPostSave) onPostSave();
    }

    std::vector<std::string> events;
    std::vector<AccessState> accessStates;
    opal::datamodel::ItemLibraryAccessor lastLibrary;
    std::function<void(bool*)> onPreSave;
    std::function<void()> onPostSave;
};

class ModelFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        manager = standin::DataModelMgr::Create();
        library = std::make_unique<standin::ItemLibrary>(manager);
    }

    std::string PathOf(const std::string& relative) const
    {
        return m_dir.filePath(QString::fromStdString(relative)).toStdString();
    }

    standin::DbObject* NewAsset(const std::string& name, std::vector<std::string> external = {}, bool saved = false)
    {
        std::vector<std::string> externalPaths;
        for (const std::string& file : external)
            externalPaths.push_back(PathOf(file));
        return manager->CreateAsset({name, PathOf(name + ".qor"), externalPaths, saved});
    }

    static qor4::QORHandle<qor4::IDbObject> Handle(standin::DbObject* object)
    {
        return standin::DataModelMgr::MakeHandle(object);
    }

    static std::vector<std::string> Names(const qor4::List<qor4::QORHandle<qor4::IDbObject>>& handles)
    {
        std::vector<std::string> names;
        for (const auto& handle : handles)
            names.push_back(handle.GetName());
        return names;
    }

    QTemporaryDir m_dir;
    qor4::QORPtr<standin::DataModelMgr> manager;
    std::unique_ptr<standin::ItemLibrary> library;
};

} // namespace modeltest
