#include "subversion/UnconvertibleNames.h"

#include "framework/PrintableText.h"

#include "Log/Log.h"

#include <memory>
#include <mutex>
#include <set>

#include <dirent.h>

namespace standin::svn {

namespace {

constexpr const char* kAdministrativeFolder = ".svn";

struct FolderCloser {
    void operator()(DIR* folder) const { closedir(folder); }
};

// Reads the folder's names as the bytes they are; calls onEntry(name, isFolder) for each.
template <typename OnEntry> void ForEachEntry(const std::string& folder, OnEntry onEntry)
{
    const std::unique_ptr<DIR, FolderCloser> listing(opendir(folder.c_str()));
    if (!listing) return;
    while (const dirent* entry = readdir(listing.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        onEntry(name, entry->d_type == DT_DIR);
    }
}

} // namespace

bool IsUnconvertibleName(const Error& error)
{
    return error.Has(APR_EINVAL);
}

void ReportUnconvertibleName(const std::string& path)
{
    static std::mutex mutex;
    static std::set<std::string> reported;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!reported.insert(path).second) return;
    }
    Log::Singleton::Instance() << Log::MsgType::Warning
                               << "Left out of revision control: " + PrintableText(path) +
                                      " (its name is not UTF-8, which Subversion cannot handle)";
}

FolderListing ListFolder(const std::string& folder)
{
    FolderListing listing;
    ForEachEntry(folder, [&](const std::string& name, bool isFolder) {
        const std::string path = folder + "/" + name;
        if (!IsUtf8(name)) {
            listing.unconvertible = true;
            ReportUnconvertibleName(path);
        } else if (!isFolder) {
            listing.files.push_back(path);
        } else if (name != kAdministrativeFolder) {
            listing.folders.push_back(path);
        }
    });
    return listing;
}

} // namespace standin::svn
