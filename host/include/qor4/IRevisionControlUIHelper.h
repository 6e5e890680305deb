// IRevisionControlUIHelper: the revision-control user interface a plug-in offers the host's
// editors, reached as the singleton "RevisionControlUIHelper".
//
// Called on the user-interface thread. Operations may run modal dialogs; when the application has
// no windows they take their non-interactive path and write to the host log instead.
#pragma once

#include "qor4/DbObjectId.h"
#include "qor4/FileStatus.h"
#include "qor4/IDataControl.h"
#include "qor4/IDataModelMgr.h"
#include "qor4/IDbObject.h"
#include "qor4/qorResult.h"

#include <QStringList>

#include <list>
#include <string>

namespace qor4 {

class IRevisionControlUIHelper {
public:
    virtual bool IsSourceDataControlEnabled() = 0;
    virtual QORPtr<IDataControl> GetDataControl(const QORPtr<IDataModelMgr>& manager) = 0;
    virtual bool QueryObjectStateIfEnabled(const QORHandle<IDbObject>& object, bool includeExternal) = 0;
    virtual bool QueryObjectFlag(const QORHandle<IDbObject>& object, bool includeExternal) = 0;
    virtual bool QueryObjectInContext(const QORHandle<IDbObject>& object) = 0;
    virtual bool CheckOutObject(const QORHandle<IDbObject>& object, bool* cancelled, bool includeExternal) = 0;
    virtual bool CheckOutObjects(const std::list<QORHandle<IDbObject>>& objects, bool* cancelled,
                                 bool includeExternal) = 0;
    virtual bool MakeObjectWritable(const QORHandle<IDbObject>& object, bool includeExternal) = 0;
    virtual bool PromptCheckOutObjects(const std::list<QORHandle<IDbObject>>& objects, bool includeExternal,
                                       bool allowMakeWritable, const std::string& message) = 0;
    virtual qorResult GetAccessStates(const std::list<QORHandle<IDbObject>>& objects, bool includeExternal,
                                      bool refresh, std::list<StatusWord>& states) = 0;
    virtual QORHandle<IDbObject> GetDbObject(const DbObjectId& key) = 0;
    virtual QORHandle<IDbObject> GetDbObject(const DbObjectId& key, QORPtr<IDataModelMgr>& manager) = 0;
    virtual void GetAssetFiles(const QORHandle<IDbObject>& asset, QStringList& files) = 0;
    virtual void ShowAssetFiles(const QORHandle<IDbObject>& asset, bool inExplorer) = 0;
    virtual ~IRevisionControlUIHelper() = default;
};

} // namespace qor4
