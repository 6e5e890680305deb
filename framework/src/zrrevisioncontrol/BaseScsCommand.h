// The common base of the source-control commands: their parameters, the conversion of the "asset"
// accessors into data-base objects, and the access-state notification after the service acted.
//
// Every command reports its outcome in the parameter "ErrorString" (the service's text) and in its
// return value (the service's result code).
#pragma once

#include "zrrc_export.h"

#include "opal/datamodel/Accessors.h"
#include "opal/datamodel/modify/CBaseExecutionCommand.h"
#include "opal/datamodel/modify/Params.h"
#include "qor4/IDataControl.h"
#include "qor4/IDataModelMgr.h"

#include <optional>
#include <string>
#include <vector>

class ZRRC_EXPORT BaseScsCommand : public opal::datamodel::modify::CBaseExecutionCommand {
public:
    static constexpr const char kChangeListParam[] = "changelist";
    static constexpr const char kAssetParam[] = "asset";
    static constexpr const char kIncludeExternalFileParam[] = "includeexternalfile";
    static constexpr const char kErrorStringParam[] = "ErrorString";
    static constexpr const char kReturnValueParam[] = "ReturnValue";
    // The data model's interface id under which the "asset" list refers to assets.
    static constexpr int kAssetInterfaceId = 60;

    // Adds no parameters: the host's command framework supplies them.
    BaseScsCommand(const opal::datamodel::ItemLibraryAccessor& library, char* name);
    BaseScsCommand(const opal::datamodel::ItemLibraryAccessor& library, char* name, const char* changeList,
                   const std::vector<opal::datamodel::UnspecifiedAccessor>& assets, bool includeExternalFile);
    ~BaseScsCommand() override;

    // Appends one handle per accessor, in order. False at the first accessor that is invalid, does
    // not name an object id, or names an object the manager cannot give; what was appended stays.
    static bool
    ResolveAssetsFromUnspecifiedAccessors(qor4::QORPtr<qor4::IDataModelMgr> manager,
                                          const opal::datamodel::modify::UnspecifiedAccessorListParam& assets,
                                          qor4::List<qor4::QORHandle<qor4::IDbObject>>& objects);

    // Tells the command's library the access state the service now reports for each object.
    // Silent when the service cannot say.
    void NotifyAccessStateChanged(qor4::QORPtr<qor4::IDataControl> dataControl,
                                  const qor4::List<qor4::QORHandle<qor4::IDbObject>>& objects);

    bool ExecuteAction() override = 0;

protected:
    // What a command needs once it knows it can start.
    struct Execution {
        qor4::QORPtr<qor4::IDataControl> dataControl;
        qor4::DbObjectList objects;
        bool includeExternalFile = false;
    };

    // A data-control operation that acts on all objects at once in a changelist.
    using ChangeListAction = qor4::qorResult (qor4::IDataControl::*)(const qor4::DbObjectList&, bool,
                                                                     const qor4::DataControlContext&,
                                                                     const std::string&, std::string&);

    // Empty when the command cannot start: invalid library, no "asset" parameter, or an asset
    // that does not resolve.
    std::optional<Execution> PrepareExecution() const;
    // The "changelist" text, "" when the parameter is missing.
    std::string GetChangeList() const;
    // Runs action once over all objects; on success notifies their access states first, then
    // records the outcome.
    bool ExecuteChangeListAction(ChangeListAction action);
    void RecordOutcome(const std::string& errorText, const qor4::qorResult& result);
};
