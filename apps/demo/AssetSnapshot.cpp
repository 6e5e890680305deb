#include "AssetSnapshot.h"

#include "datamodel/DbObject.h"

#include <algorithm>
#include <unordered_set>

namespace demo {

std::string StateLabel(const AssetView& asset)
{
    if (asset.deleted) return asset.saved ? " (deleted and saved)" : " (deleted, not saved yet)";
    return std::string(asset.dirty ? " (modified)" : "") + (asset.saved ? "" : " (new)");
}

ProjectSnapshot ProjectSnapshot::Take(DemoHost& host)
{
    ProjectSnapshot snapshot = TakeLocal(host);
    if (snapshot.sessionAlive) snapshot.AddServerStates(host, host.Session());
    snapshot.changeLists = host.PendingChangeLists();
    return snapshot;
}

ProjectSnapshot ProjectSnapshot::TakeLocal(DemoHost& host)
{
    ProjectSnapshot snapshot;
    snapshot.user = host.User();
    snapshot.sessionAlive = host.IsSessionAlive();
    std::vector<standin::DbObject*> assets = host.Assets();
    const std::size_t alive = assets.size();
    const std::vector<standin::DbObject*> deleted = host.DeletedAssets();
    assets.insert(assets.end(), deleted.begin(), deleted.end());
    std::vector<std::size_t> filesPerAsset;
    std::vector<FileState> states = host.DiskStates(assets, &filesPerAsset);

    const std::vector<standin::DbObject*>& pending = host.Manager().GetPendingDeletions();
    const std::unordered_set<const standin::DbObject*> dirty = host.DirtyAssets();
    snapshot.assets.reserve(assets.size());
    auto next = states.begin();
    for (std::size_t i = 0; i < assets.size(); ++i) {
        AssetView view;
        view.name = assets[i]->GetName();
        if (i < alive) {
            view.dirty = dirty.count(assets[i]) != 0;
            view.saved = !assets[i]->GetAncestorId().IsNull();
        } else {
            view.deleted = true;
            view.saved = std::find(pending.begin(), pending.end(), assets[i]) == pending.end();
        }
        const auto end = next + static_cast<std::ptrdiff_t>(filesPerAsset[i]);
        view.files.assign(std::make_move_iterator(next), std::make_move_iterator(end));
        next = end;
        snapshot.assets.push_back(std::move(view));
    }
    return snapshot;
}

std::vector<FileState> ProjectSnapshot::Files() const
{
    std::vector<FileState> files;
    for (const AssetView& asset : assets)
        files.insert(files.end(), asset.files.begin(), asset.files.end());
    return files;
}

void ProjectSnapshot::SetFiles(std::vector<FileState> files)
{
    auto next = files.begin();
    for (AssetView& asset : assets)
        for (FileState& file : asset.files)
            if (next != files.end()) file = std::move(*next++);
}

bool ProjectSnapshot::AddServerStates(const DemoHost& host, standin::SessionId session)
{
    std::vector<FileState> files = Files();
    const bool added = host.AddServerStates(session, files);
    if (added) SetFiles(std::move(files));
    return added;
}

const AssetView* ProjectSnapshot::Find(const std::string& asset) const
{
    for (const AssetView& view : assets)
        if (view.name == asset) return &view;
    return nullptr;
}

const FileState* ProjectSnapshot::FindFile(const std::string& depotPath) const
{
    for (const AssetView& view : assets)
        for (const FileState& file : view.files)
            if (file.depotPath == depotPath) return &file;
    return nullptr;
}

std::string ProjectSnapshot::Format(const std::string& indent) const
{
    std::string text = indent + "user " + user + ", session " + (sessionAlive ? "open" : "not connected") + "\n";
    for (const AssetView& asset : assets) {
        text += indent + "asset " + asset.name + StateLabel(asset) + "\n";
        for (const FileState& file : asset.files)
            text += indent + "  " + DescribeFile(file) + "\n";
    }
    if (changeLists.empty()) text += indent + "no pending changelists\n";
    for (const ChangeListInfo& list : changeLists)
        text += indent + "pending changelist " + list.number + ": " + list.description + "\n";
    return text;
}

} // namespace demo
