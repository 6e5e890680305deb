#include "subversion/SubmitRecord.h"

#include "framework/WholeFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <ctime>
#include <random>

namespace standin::svn {

namespace {
constexpr const char* kIdKey = "id";
constexpr const char* kChangeListKey = "changelist";
constexpr const char* kFilesKey = "files";
constexpr const char* kBaseKey = "base";
constexpr const char* kStartedKey = "started";
constexpr int kIdBytes = 16;

QString PathIn(const std::string& workingCopy)
{
    return QString::fromStdString(workingCopy + "/.svn/" + SubmitRecord::kFileName);
}

std::string RandomId()
{
    std::random_device random;
    std::string id;
    for (int i = 0; i < kIdBytes; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned>(random() & 0xFF));
        id += pair;
    }
    return id;
}
} // namespace

SubmitRecord SubmitRecord::Begin(const std::string& changeList, std::vector<std::string> files, long base)
{
    return {RandomId(), changeList, std::move(files), base, static_cast<long long>(std::time(nullptr))};
}

bool SubmitRecord::Save(const std::string& workingCopy, std::string& error) const
{
    QJsonArray list;
    for (const std::string& file : files)
        list.append(QString::fromStdString(file));
    const QJsonObject root{{kIdKey, QString::fromStdString(id)},
                           {kChangeListKey, QString::fromStdString(changeList)},
                           {kFilesKey, list},
                           {kBaseKey, static_cast<qint64>(base)},
                           {kStartedKey, static_cast<qint64>(started)}};
    const QString failure = ReplaceFileWhole(PathIn(workingCopy), QJsonDocument(root).toJson());
    if (!failure.isEmpty()) {
        error = "Cannot record the submit in the working copy (" + PathIn(workingCopy).toStdString() +
                "): " + failure.toStdString();
        return false;
    }
    return true;
}

bool SubmitRecord::Load(const std::string& workingCopy, SubmitRecord& record, std::string& error)
{
    QFile file(PathIn(workingCopy));
    if (!file.exists()) return false;
    const auto damaged = [&] {
        error = "The record of an earlier submit is damaged: " + PathIn(workingCopy).toStdString();
        return false;
    };
    if (!file.open(QIODevice::ReadOnly)) return damaged();
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    const QJsonObject root = document.object();
    if (!document.isObject() || !root.value(kIdKey).isString() || !root.value(kChangeListKey).isString() ||
        !root.value(kFilesKey).isArray() || !root.value(kBaseKey).isDouble())
        return damaged();
    record.id = root.value(kIdKey).toString().toStdString();
    record.changeList = root.value(kChangeListKey).toString().toStdString();
    record.base = static_cast<long>(root.value(kBaseKey).toInteger());
    record.started = root.value(kStartedKey).toInteger();
    record.files.clear();
    for (const QJsonValue& entry : root.value(kFilesKey).toArray()) {
        if (!entry.isString()) return damaged();
        record.files.push_back(entry.toString().toStdString());
    }
    return !record.id.empty() && !record.files.empty() ? true : damaged();
}

void SubmitRecord::Remove(const std::string& workingCopy)
{
    QFile::remove(PathIn(workingCopy));
}

} // namespace standin::svn
