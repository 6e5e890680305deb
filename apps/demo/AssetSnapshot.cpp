#include "AssetSnapshot.h"

#include "DbObject.h"

#include <algorithm>

namespace demo {

std::string StateLabel(const AssetView& asset)
{
    if (asset.deleted) return asset.saved ? " (deleted and saved)" : " (deleted, not saved yet)";
    return std::string(asset.dirty ? " (modified)" : "") + (asset.saved ? "" : " (new)");
}

ProjectSnapshot ProjectSnapshot::Take(DemoHost& host)
{
    ProjectSnapshot snapshot;
    snapshot.user = host.User();
    snapshot.sessionAlive = host.IsSessionAlive();
    for (standin::DbObject* asset : host.Assets()) {
        AssetView view;
        view.name = asset->GetName();
        view.dirty = host.IsDirty(asset);
        view.saved = !asset->GetAncestorId().IsNull();
        view.files = host.FileStates(asset);
        snapshot.assets.push_back(std::move(view));
    }
    const std::vector<standin::DbObject*>& pending = host.Manager().GetPendingDeletions();
    for (standin::DbObject* asset : host.DeletedAssets()) {
        AssetView view;
        view.name = asset->GetName();
        view.deleted = true;
        view.saved = std::find(pending.begin(), pending.end(), asset) == pending.end();
        view.files = host.FileStates(asset);
        snapshot.assets.push_back(std::move(view));
    }
    snapshot.changeLists = host.PendingChangeLists();
    return snapshot;
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
