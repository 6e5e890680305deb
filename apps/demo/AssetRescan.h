// Refresh's look at the working copy: the data model follows the assets an update (or another
// program) brought or took away, without touching the edits of the assets it keeps.
#pragma once

#include "ProjectManifest.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace standin {
class DataModelMgr;
}

namespace demo {

struct RescanOutcome {
    std::vector<std::string> added;      // listed now, by name
    std::vector<std::string> dropped;    // saved assets whose ".qor" file is gone from the disk
    std::vector<std::string> keptEdited; // gone from the disk too, but holding unsaved edits
};

// Adds, through add, every asset of the working copy whose ".qor" file no asset of the model (nor
// a deletion waiting for the save) has; forgets the saved, unedited assets whose ".qor" file is gone.
// New assets that were never saved are left alone: they have no files yet.
RescanOutcome RescanAssets(standin::DataModelMgr& model, const QString& workingCopy,
                           const std::function<void(const ManifestAsset&)>& add);

} // namespace demo
