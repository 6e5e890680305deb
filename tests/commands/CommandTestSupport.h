// Helpers for driving the source-control commands in a stand-in host.
#pragma once

#include "datamodel/DbObject.h"
#include "datamodel/ItemLibrary.h"
#include "testkit/RecordingDataControl.h"

#include "lark/fwk/ICommand.h"
#include "opal/datamodel/modify/CBaseExecutionCommand.h"
#include "opal/datamodel/modify/Params.h"

#include <memory>
#include <string>
#include <vector>

struct CommandReleaser {
    void operator()(lark::fwk::ICommand* command) const { command->Release(); }
};
// The builder's reference to a command.
using CommandRef = std::unique_ptr<lark::fwk::ICommand, CommandReleaser>;

inline std::vector<opal::datamodel::UnspecifiedAccessor> AccessorsOf(const standin::ItemLibrary& library,
                                                                     const std::vector<standin::DbObject*>& assets)
{
    std::vector<opal::datamodel::UnspecifiedAccessor> accessors;
    for (const standin::DbObject* asset : assets)
        accessors.push_back(library.GetItemAccessor(asset));
    return accessors;
}

// The command's results; null when it did not set them.
inline const opal::datamodel::modify::StringParam* ErrorStringOf(const lark::fwk::ICommand& command)
{
    return dynamic_cast<const opal::datamodel::modify::StringParam*>(command.GetParam("ErrorString"));
}

inline const opal::datamodel::modify::IntParam* ReturnValueOf(const lark::fwk::ICommand& command)
{
    const auto* execution = dynamic_cast<const opal::datamodel::modify::CBaseExecutionCommand*>(&command);
    return execution ? dynamic_cast<const opal::datamodel::modify::IntParam*>(execution->GetReturnValue()) : nullptr;
}

// The data control's calls of one operation, in order.
inline std::vector<standin::RecordedCall> CallsOf(const standin::RecordingDataControl& control,
                                                  const std::string& operation)
{
    return control.CallsOf(operation);
}

// (item id, state) of every access-state notification the library delivered, in order.
inline std::vector<std::pair<std::string, std::uint32_t>> DeliveredStates(const standin::ItemLibrary& library)
{
    std::vector<std::pair<std::string, std::uint32_t>> delivered;
    for (const auto& record : library.GetAccessStateRecords())
        delivered.emplace_back(record.uid, record.state);
    return delivered;
}
