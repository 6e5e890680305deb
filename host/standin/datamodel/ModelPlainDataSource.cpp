#include "datamodel/ModelPlainDataSource.h"

namespace standin {

qor4::QORPtr<ModelPlainDataSource> ModelPlainDataSource::Create()
{
    return qor4::QORPtr<ModelPlainDataSource>(new ModelPlainDataSource);
}

void ModelPlainDataSource::Release()
{
    if (--m_refs == 0) delete this;
}

bool ModelPlainDataSource::QueryInterface(const qor4::InterfaceUID& iid, void** object)
{
    if (!object) return false;
    if (iid != qor4::IDataSource::GetIID() && iid != qor4::IQORUnknown::GetIID()) return false;
    *object = static_cast<qor4::IDataSource*>(this);
    AddRef();
    return true;
}

} // namespace standin
