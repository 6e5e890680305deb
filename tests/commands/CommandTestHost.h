// A stand-in host for running the source-control commands: system with "UndoManager" and
// "QORDBProxy", a data-model manager whose instance holds a data control over an in-memory revision
// server, an open item library, and a workspace folder for the current user "alice".
#pragma once

#include "CommandManager.h"
#include "DataControl.h"
#include "DataModelMgr.h"
#include "ItemLibrary.h"
#include "QORDBProxy.h"
#include "RevisionServer.h"
#include "UserParameters.h"

#include "lark/fwk/ICommand.h"
#include "opal/datamodel/modify/Params.h"

#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

struct CommandReleaser {
    void operator()(lark::fwk::ICommand* command) const { command->Release(); }
};
// The builder's reference to a command.
using CommandRef = std::unique_ptr<lark::fwk::ICommand, CommandReleaser>;

class CommandTestHost {
public:
    static constexpr const char* kUser = "alice";
    static constexpr const char* kWorkspace = "alice-ws";
    static constexpr const char* kOtherUser = "bob";

    CommandTestHost();
    ~CommandTestHost();
    CommandTestHost(const CommandTestHost&) = delete;
    CommandTestHost& operator=(const CommandTestHost&) = delete;

    // A saved asset whose ".qor" file is checked in and sits read-only in the workspace.
    standin::DbObject* AddCheckedInAsset(const std::string& name);
    // A saved asset whose file exists in the workspace but is unknown to the depot.
    standin::DbObject* AddLocalAsset(const std::string& name);
    std::string DepotPath(const standin::DbObject* asset) const;
    opal::datamodel::UnspecifiedAccessor AccessorOf(const standin::DbObject* asset) const;
    std::vector<opal::datamodel::UnspecifiedAccessor> AccessorsOf(const std::vector<standin::DbObject*>& assets) const;
    opal::datamodel::ItemLibraryAccessor Library() const { return m_library->GetAccessor(); }

    // Runs the command through "UndoManager" as the plug-in does (recorded for undo).
    bool Execute(lark::fwk::ICommand* command);
    // The command's results; null when it did not set them.
    static const opal::datamodel::modify::StringParam* ErrorString(const lark::fwk::ICommand* command);
    static const opal::datamodel::modify::IntParam* ReturnValue(const lark::fwk::ICommand* command);

    // Data-control calls of one operation, in order.
    std::vector<standin::DataControl::Call> CallsOf(const std::string& operation) const;
    // The status word the server now reports for the asset's file.
    qor4::StatusWord FileStatus(const standin::DbObject* asset);
    // Detaches the data control from the manager's instance.
    void RemoveDataControl();

    standin::RevisionServer& Server() { return *m_server; }
    standin::DataControl& Control() { return *m_dataControl; }
    standin::DataModelMgr& Manager() { return *m_manager; }
    standin::ItemLibrary& ItemLibrary() { return *m_library; }
    standin::CommandManager& Commands() { return *m_commands; }

private:
    QTemporaryDir m_root;
    QTemporaryDir m_otherRoot;
    std::shared_ptr<standin::RevisionServer> m_server;
    std::unique_ptr<standin::UserParameters> m_account;
    qor4::QORPtr<standin::DataControl> m_dataControl;
    qor4::QORPtr<standin::DataModelMgr> m_manager;
    std::unique_ptr<standin::ItemLibrary> m_library;
    standin::CommandManager* m_commands = nullptr;
};
