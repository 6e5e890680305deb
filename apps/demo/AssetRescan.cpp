#include "AssetRescan.h"

#include "WorkingCopyScan.h"

#include "datamodel/DataModelMgr.h"
#include "datamodel/ModelAssetFiles.h"

#include <QDir>

#include <unordered_set>

namespace demo {

namespace {

std::unordered_set<const standin::DbObject*> EditedAssets(const standin::DataModelMgr& model)
{
    std::unordered_set<const standin::DbObject*> edited;
    for (const standin::DbObject* object : model.GetObjects())
        if (object->GetOwningAsset() && object->IsAlive() && object->IsDirty()) edited.insert(object->GetOwningAsset());
    return edited;
}

} // namespace

RescanOutcome RescanAssets(standin::DataModelMgr& model, const QString& workingCopy,
                           const std::function<void(const ManifestAsset&)>& add)
{
    RescanOutcome outcome;
    std::unordered_set<std::string> known;
    std::vector<standin::DbObject*> alive;
    for (standin::DbObject* object : model.GetObjects()) {
        if (!object->IsAsset() || !object->IsAlive()) continue;
        known.insert(object->GetAssetFile());
        alive.push_back(object);
    }
    // A deleted asset's files stay on disk until the save: not a new asset.
    for (const standin::DbObject* asset : model.GetPendingDeletions())
        known.insert(asset->GetAssetFile());

    const std::unordered_set<const standin::DbObject*> edited = EditedAssets(model);
    for (standin::DbObject* asset : alive) {
        if (asset->GetAncestorId().IsNull() || standin::FileExists(asset->GetAssetFile())) continue;
        if (edited.count(asset)) {
            outcome.keptEdited.push_back(asset->GetName());
            continue;
        }
        model.ForgetAsset(asset);
        outcome.dropped.push_back(asset->GetName());
    }

    const QDir root(workingCopy);
    for (const ManifestAsset& asset : ScanWorkingCopy(workingCopy)) {
        const std::string file = root.filePath(QString::fromStdString(asset.depotFiles.front())).toStdString();
        if (known.count(file)) continue;
        add(asset);
        outcome.added.push_back(asset.name);
    }
    return outcome;
}

} // namespace demo
