// Operations whose flows are still being written; each moves to its own file when done.
#include "CRevisionControlUIHelper.h"

bool CRevisionControlUIHelper::IsSourceDataControlEnabled() { return false; }
qor4::QORPtr<qor4::IDataControl> CRevisionControlUIHelper::GetDataControl(const qor4::QORPtr<qor4::IDataModelMgr>&) { return {}; }
bool CRevisionControlUIHelper::QueryObjectStateIfEnabled(const qor4::QORHandle<qor4::IDbObject>&, bool) { return false; }
bool CRevisionControlUIHelper::QueryObjectFlag(const qor4::QORHandle<qor4::IDbObject>&, bool) { return false; }
bool CRevisionControlUIHelper::QueryObjectInContext(const qor4::QORHandle<qor4::IDbObject>&) { return false; }
bool CRevisionControlUIHelper::CheckOutObject(const qor4::QORHandle<qor4::IDbObject>&, bool*, bool) { return false; }
bool CRevisionControlUIHelper::MakeObjectWritable(const qor4::QORHandle<qor4::IDbObject>&, bool) { return false; }
qor4::qorResult CRevisionControlUIHelper::GetAccessStates(const DbObjectHandles&, bool, bool, std::list<qor4::StatusWord>&) { return -1; }
qor4::QORHandle<qor4::IDbObject> CRevisionControlUIHelper::GetDbObject(const qor4::DbObjectId&) { return {}; }
qor4::QORHandle<qor4::IDbObject> CRevisionControlUIHelper::GetDbObject(const qor4::DbObjectId&, qor4::QORPtr<qor4::IDataModelMgr>&) { return {}; }
void CRevisionControlUIHelper::GetAssetFiles(const qor4::QORHandle<qor4::IDbObject>&, QStringList&) {}
void CRevisionControlUIHelper::ShowAssetFiles(const qor4::QORHandle<qor4::IDbObject>&, bool) {}
