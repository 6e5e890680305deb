// IDataControl: revision control of data-base objects, the component UID_DataControl() of a
// data-model manager instance.
//
// Works on objects and the files behind them (an asset's ".qor" file and, with includeExternal,
// the external files it references). Called on the user-interface thread; a call may take long,
// during which the file-version-control service drives the installed ITimeOutDelegate.
//
// Failures: operations answer a negative qorResult and, where they take one, write the server's
// text into errorText/message. kResultSessionExpired (-34) means the session must be re-opened
// (new parameters through SetUserParameters) before anything else succeeds.
#pragma once

#include "qor4/FileStatus.h"
#include "qor4/IDbObject.h"
#include "qor4/IUserParameters.h"
#include "qor4/List.h"
#include "qor4/qorResult.h"

#include <cstdint>
#include <list>
#include <set>
#include <string>
#include <vector>

namespace qor4 {

// Says in which context the caller asks; passed through unchanged by plug-ins.
struct DataControlContext {
    std::int32_t first = 0;
    std::int32_t second = 0;
    std::int32_t third = 0;
};

using DbObjectHandle = QORHandle<IDbObject>;
using DbObjectList = List<DbObjectHandle>;

class IDataControl : public IQORUnknown {
public:
    // True when changeList names one of the current user's pending changelists; "" (the default
    // changelist) is valid while the session is open.
    virtual bool IsChangeListValid(const std::string& changeList) = 0;
    // The names of the current user's pending changelists, in ascending number.
    virtual qorResult GetPendingChangeLists(std::list<std::string>& changeLists, std::string& message) = 0;
    virtual qorResult GetChangeListDescription(const std::string& changeList, std::string& description,
                                               std::string& message) = 0;
    // Creates a pending changelist and writes its name into changeList.
    virtual qorResult CreateChangeList(const std::string& description, std::string& changeList,
                                       std::string& message) = 0;
    // Opens the objects' files for edit in changeList ("" is the default changelist). All or nothing.
    virtual qorResult CheckOut(const DbObjectList& objects, bool includeExternal, const DataControlContext& context,
                               const std::string& changeList, std::string& errorText) = 0;
    // Opens the objects' files that are not in the depot for add in changeList.
    virtual qorResult MarkForAdd(const DbObjectList& objects, bool includeExternal, const DataControlContext& context,
                                 const std::string& changeList, std::string& errorText) = 0;
    // One status word per object, in list order: the union of its files' words.
    virtual qorResult GetAccessStates(const DbObjectList& objects, bool includeExternal,
                                      const DataControlContext& context, bool refresh, std::list<StatusWord>& states,
                                      std::string& message) = 0;
    // The other users who have the object's files opened or locked.
    virtual qorResult GetObjectUsers(const DbObjectHandle& object, bool includeExternal,
                                     const DataControlContext& context, std::list<std::string>& users,
                                     std::string& message) = 0;
    // True when at least one of the object's files is read-only on disk.
    virtual bool IsReadOnly(const DbObjectHandle& object, bool includeExternal, const DataControlContext& context) = 0;
    // True when the object's files are opened by the current user.
    virtual bool QueryObjectFlag(const DbObjectHandle& object, bool includeExternal,
                                 const DataControlContext& context) = 0;
    // Writes into isControlled whether the object's files are under revision control.
    virtual qorResult QueryObjectState(const DbObjectHandle& object, bool includeExternal,
                                       const DataControlContext& context, bool& isControlled) = 0;
    // The object's files (full paths); with includeExternal its external files too.
    virtual qorResult GetObjectFileList(const DbObjectHandle& object, bool includeExternal,
                                        const DataControlContext& context, bool onlyExisting,
                                        std::set<std::string>& files) = 0;
    // All files of the object, external ones included.
    virtual qorResult GetObjectFiles(const DbObjectHandle& object, const DataControlContext& context,
                                     std::set<std::string>& files) = 0;
    // Clears the read-only attribute of the object's files without opening them.
    virtual qorResult MakeWritable(const DbObjectHandle& object, bool includeExternal,
                                   const DataControlContext& context, std::string& errorText) = 0;
    // The files of all objects, and per object (in list order) its own files.
    virtual qorResult GetFiles(const DbObjectList& objects, bool includeExternal, const DataControlContext& context,
                               bool onlyExisting, std::set<std::string>& files,
                               std::vector<std::set<std::string>>& filesPerObject) = 0;
    // The assets the objects belong to (an asset belongs to itself).
    virtual qorResult CollectAssets(const DataControlContext& context, const DbObjectList& objects, int flags,
                                    std::set<DbObjectHandle>& assets) = 0;
    // The objects that are saved together with the given ones, not counting those given.
    virtual qorResult CollectRelatedObjects(const DbObjectList& objects, std::set<DbObjectHandle>& related) = 0;
    // Installs the account used from now on; null closes the session.
    virtual qorResult SetUserParameters(const IUserParameters* parameters) = 0;
    virtual const IUserParameters* GetCurrentUserParameters() = 0;
    virtual std::string GetObjectName(const DbObjectHandle& object, const DataControlContext& context) = 0;
    // True when the object belongs to the revision-controlled workspace.
    virtual bool QueryObjectInContext(const DataControlContext& context, const DbObjectHandle& object) = 0;
    virtual bool HasExternalFiles(const DbObjectHandle& object, const DataControlContext& context) = 0;

    static InterfaceUID GetIID() { return {"qor4.IDataControl"}; }
    static const char* GetInterfaceName() { return "qor4::IDataControl"; }

protected:
    ~IDataControl() = default;
};

} // namespace qor4
