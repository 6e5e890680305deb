#include "SaveAudit.h"

#include "DataControl.h"
#include "DbObject.h"
#include "ModelSaver.h"

namespace standin {

namespace {
std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}
} // namespace

std::string LeftOut::Describe() const
{
    std::string text;
    if (!assets.empty())
        text += "Revision control is not connected: not added to revision control: " + Joined(assets) + "\n";
    if (!removedFiles.empty())
        text +=
            "Revision control is not connected: removed from disk but not marked for delete: " + Joined(removedFiles) +
            "\n";
    return text;
}

LeftOut FindLeftOut(DataControl& control, const SaveResult& saved)
{
    LeftOut left;
    if ((saved.newAssets.empty() && saved.removedFiles.empty()) || control.IsConnected()) return left;
    for (const DbObject* asset : saved.newAssets)
        left.assets.push_back(asset->GetName());
    left.removedFiles = saved.removedFiles;
    return left;
}

} // namespace standin
