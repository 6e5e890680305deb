#include "datamodel/MultiFileDataSource.h"

#include "datamodel/DbObject.h"

#include <algorithm>

namespace standin {

qor4::QORPtr<MultiFileDataSource> MultiFileDataSource::Create()
{
    return qor4::QORPtr<MultiFileDataSource>(new MultiFileDataSource);
}

void MultiFileDataSource::Release()
{
    if (--m_refs == 0) delete this;
}

bool MultiFileDataSource::QueryInterface(const qor4::InterfaceUID& iid, void** object)
{
    if (!object) return false;
    if (iid != qor4::IMultiFileDataSource::GetIID() && iid != qor4::IDataSource::GetIID() &&
        iid != qor4::IQORUnknown::GetIID())
        return false;
    *object = static_cast<qor4::IMultiFileDataSource*>(this);
    AddRef();
    return true;
}

void MultiFileDataSource::GetDeletedFiles(std::list<std::string>& files)
{
    files.insert(files.end(), m_deletedFiles.begin(), m_deletedFiles.end());
}

void MultiFileDataSource::GetSavedObjects(qor4::List<qor4::QORHandle<qor4::IDbObject>>& objects,
                                          std::list<std::string>& files)
{
    for (DbObject* object : m_savedObjects)
        objects.emplace_back(qor4::QORPtr<qor4::IDbObject>(static_cast<qor4::IDbObject*>(object)));
    files.insert(files.end(), m_savedFiles.begin(), m_savedFiles.end());
}

void MultiFileDataSource::ClearSaveRecord()
{
    ++m_clearCount;
    m_deletedFiles.clear();
    m_savedObjects.clear();
    m_savedFiles.clear();
}

void MultiFileDataSource::RecordSavedObject(DbObject* object)
{
    if (std::find(m_savedObjects.begin(), m_savedObjects.end(), object) == m_savedObjects.end())
        m_savedObjects.push_back(object);
}

} // namespace standin
