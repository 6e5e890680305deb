// The data source that keeps each asset in its own files and records what the last save did.
#pragma once

#include "qor4/IDataModelMgr.h"

#include <list>
#include <string>
#include <vector>

namespace standin {

class DbObject;

class MultiFileDataSource final : public qor4::IMultiFileDataSource {
public:
    static qor4::QORPtr<MultiFileDataSource> Create();

    void AddRef() override { ++m_refs; }
    void Release() override;
    bool QueryInterface(const qor4::InterfaceUID& iid, void** object) override;

    void GetDeletedFiles(std::list<std::string>& files) override;
    void GetSavedObjects(qor4::List<qor4::QORHandle<qor4::IDbObject>>& objects, std::list<std::string>& files) override;
    void ClearSaveRecord() override;

    // Called by the save. The objects stay owned by their manager's cache, which outlives this
    // record, so they are kept without a reference: the record does not count as a holder.
    void RecordDeletedFile(const std::string& file) { m_deletedFiles.push_back(file); }
    void RecordSavedObject(DbObject* object);
    void RecordSavedFile(const std::string& file) { m_savedFiles.push_back(file); }
    // Forgets the objects before their manager releases them.
    void DropObjects() { m_savedObjects.clear(); }

    const std::list<std::string>& GetSavedFiles() const { return m_savedFiles; }
    int GetClearCount() const { return m_clearCount; }

private:
    MultiFileDataSource() = default;
    ~MultiFileDataSource() = default;

    int m_refs = 0;
    int m_clearCount = 0;
    std::list<std::string> m_deletedFiles;
    std::vector<DbObject*> m_savedObjects;
    std::list<std::string> m_savedFiles;
};

} // namespace standin
