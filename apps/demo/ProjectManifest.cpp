#include "ProjectManifest.h"

#include "framework/WholeFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace demo {

namespace {
constexpr const char* kAssetsKey = "assets";
constexpr const char* kNameKey = "name";
constexpr const char* kFilesKey = "files";
} // namespace

ManifestLoad LoadManifest(const QString& path)
{
    ManifestLoad result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = "cannot read " + path.toStdString() + ": " + file.errorString().toStdString();
        return result;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (document.isNull() || !document.object().value(kAssetsKey).isArray()) {
        result.error = path.toStdString() + " is not an asset list: " + parseError.errorString().toStdString();
        return result;
    }
    for (const QJsonValue& value : document.object().value(kAssetsKey).toArray()) {
        const QJsonObject object = value.toObject();
        ManifestAsset asset;
        asset.name = object.value(kNameKey).toString().toStdString();
        for (const QJsonValue& fileValue : object.value(kFilesKey).toArray())
            asset.depotFiles.push_back(fileValue.toString().toStdString());
        if (asset.name.empty() || asset.depotFiles.empty()) {
            result.error = path.toStdString() + " lists an asset without a name or files";
            return result;
        }
        result.assets.push_back(std::move(asset));
    }
    result.ok = true;
    return result;
}

bool SaveManifest(const QString& path, const std::vector<ManifestAsset>& assets, std::string& error)
{
    QJsonArray list;
    for (const ManifestAsset& asset : assets) {
        QJsonArray files;
        for (const std::string& file : asset.depotFiles)
            files.append(QString::fromStdString(file));
        list.append(QJsonObject{{kNameKey, QString::fromStdString(asset.name)}, {kFilesKey, files}});
    }
    const QString failure = standin::ReplaceFileWhole(path, QJsonDocument(QJsonObject{{kAssetsKey, list}}).toJson());
    if (!failure.isEmpty()) {
        error = "cannot write " + path.toStdString() + ": " + failure.toStdString();
        return false;
    }
    return true;
}

} // namespace demo
