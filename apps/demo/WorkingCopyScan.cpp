#include "WorkingCopyScan.h"

#include "datamodel/ModelAssetFiles.h"

#include <QDir>
#include <QDirIterator>
#include <algorithm>
#include <unordered_map>

namespace demo {

namespace {

const QString kAssetPattern = QStringLiteral("*.qor");
const QString kTexturePattern = QStringLiteral("*_*.tex");
const QString kAdministrativeFolder = QStringLiteral(".svn");

// Files and links of any kind (a link to a folder, a dangling one) whose names match.
QFileInfoList EntriesOf(const QDir& folder, const QString& pattern)
{
    QFileInfoList entries;
    const auto filters = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo& entry : folder.entryInfoList({pattern}, filters, QDir::Name))
        if (entry.isSymLink() || entry.isFile()) entries << entry;
    return entries;
}

QStringList FoldersOf(const QDir& root)
{
    // Each folder listed once: a working copy may hold 100,000 assets.
    QDirIterator folders(root.path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                         QDirIterator::Subdirectories);
    QStringList paths{root.path()};
    while (folders.hasNext()) {
        const QString folder = folders.next();
        if (!folder.contains(QLatin1Char('/') + kAdministrativeFolder + QLatin1Char('/')) &&
            !folder.endsWith(QLatin1Char('/') + kAdministrativeFolder))
            paths << folder;
    }
    return paths;
}

} // namespace

std::vector<ManifestAsset> ScanWorkingCopy(const QString& workingCopy)
{
    std::vector<ManifestAsset> assets;
    const QDir root(workingCopy);
    for (const QString& path : FoldersOf(root)) {
        const QDir folder(path);
        std::unordered_map<std::string, std::size_t> byName; // an asset of the folder, by name
        for (const QFileInfo& file : EntriesOf(folder, kAssetPattern)) {
            std::string name = file.completeBaseName().toStdString();
            byName.emplace(name, assets.size());
            assets.push_back({std::move(name), {root.relativeFilePath(file.filePath()).toStdString()}});
        }
        for (const QFileInfo& texture : EntriesOf(folder, kTexturePattern)) {
            const std::string owner =
                standin::OwnerOfExternalFile(texture.fileName().toStdString(),
                                             [&byName](const std::string& name) { return byName.count(name) != 0; });
            if (owner.empty()) continue;
            assets[byName.at(owner)].depotFiles.push_back(root.relativeFilePath(texture.filePath()).toStdString());
        }
    }
    std::sort(assets.begin(), assets.end(),
              [](const ManifestAsset& a, const ManifestAsset& b) { return a.depotFiles < b.depotFiles; });
    return assets;
}

} // namespace demo
