// The state of the open project at one moment: every asset with its files as the server and the
// disk see them, the user's pending changelists and the session. Shown by the window and written
// to the walkthrough log.
#pragma once

#include "DemoHost.h"
#include "FileStateText.h"

#include <string>
#include <vector>

namespace demo {

struct AssetView {
    std::string name;
    bool dirty = false;
    bool saved = false;   // has been saved at least once; for a deleted asset: its deletion was saved
    bool deleted = false; // deleted in the data model
    std::vector<FileState> files;
};

// " (modified)", " (new)", " (deleted, not saved yet)", ...
std::string StateLabel(const AssetView& asset);

struct ProjectSnapshot {
    std::string user;
    bool sessionAlive = false;
    std::vector<AssetView> assets;
    std::vector<ChangeListInfo> changeLists;

    // Everything, the server's side included.
    static ProjectSnapshot Take(DemoHost& host);
    // The data model's and the disk's side only: quick, on the thread that owns the data model.
    static ProjectSnapshot TakeLocal(DemoHost& host);
    // The server's side of every file, in one query; safe on any thread.
    bool AddServerStates(const DemoHost& host, standin::SessionId session);
    // Every file of every asset, in order, and the same files given back.
    std::vector<FileState> Files() const;
    void SetFiles(std::vector<FileState> files);
    const AssetView* Find(const std::string& asset) const;
    const FileState* FindFile(const std::string& depotPath) const;
    // Several lines, indented by indent.
    std::string Format(const std::string& indent = "  ") const;
};

} // namespace demo
