// IDataModelMgr: the data-model manager of one data base, and its data sources.
//
// Called on the user-interface thread only. Lookups that find nothing give a null handle; they do
// not throw.
#pragma once

#include "qor4/DbObjectId.h"
#include "qor4/IDbObject.h"
#include "qor4/IQORInstance.h"
#include "qor4/List.h"
#include "qor4/qorResult.h"

#include <list>
#include <string>

namespace qor4 {

class IDataSource : public IQORUnknown {
public:
    static InterfaceUID GetIID() { return {"qor4.IDataSource"}; }
    static const char* GetInterfaceName() { return "qor4::IDataSource"; }

protected:
    ~IDataSource() = default;
};

// A data source that keeps its objects in several files and records what one save changed.
class IMultiFileDataSource : public IDataSource {
public:
    // Full paths of the files the last save removed from disk, in the order they were removed.
    virtual void GetDeletedFiles(std::list<std::string>& files) = 0;
    // The objects the last save wrote, and the files it wrote for them.
    virtual void GetSavedObjects(List<QORHandle<IDbObject>>& objects, std::list<std::string>& files) = 0;
    // Forgets the record of the last save.
    virtual void ClearSaveRecord() = 0;

    static InterfaceUID GetIID() { return {"qor4.IMultiFileDataSource"}; }
    static const char* GetInterfaceName() { return "qor4::IMultiFileDataSource"; }

protected:
    ~IMultiFileDataSource() = default;
};

class IDataModelMgr : public IQORUnknown {
public:
    // Appends the objects matching query to results; mode selects how deep the query looks.
    // A malformed query answers a negative code and appends nothing.
    virtual qorResult ExecuteQuery(const std::string& query, int mode, List<QORHandle<IDbObject>>& results) = 0;
    virtual QORPtr<IQORInstance> GetManagerInstance() = 0;
    // The object when it is in memory, a null handle otherwise.
    virtual QORHandle<IDbObject> GetDbObject(const DbObjectId& id) = 0;
    // The object, loading it from the data base when needed; a null handle when it does not exist.
    virtual QORHandle<IDbObject> GetOrLoadDbObject(const DbObjectId& id) = 0;
    virtual ConstIterator<QORPtr<IDataSource>> GetDataSources() = 0;

    static InterfaceUID GetIID() { return {"qor4.IDataModelMgr"}; }
    static const char* GetInterfaceName() { return "qor4::IDataModelMgr"; }

protected:
    ~IDataModelMgr() = default;
};

} // namespace qor4
