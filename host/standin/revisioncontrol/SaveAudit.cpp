#include "revisioncontrol/SaveAudit.h"

#include "datamodel/DbObject.h"
#include "datamodel/ModelSaver.h"
#include "revisioncontrol/DataControl.h"
#include "revisioncontrol/UserParameters.h"

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
    constexpr const char* kNotConnected = "Revision control is not connected";
    const std::string notConnected =
        user.empty() ? std::string(kNotConnected) : ServerText::OfSession(kNotConnected, user, server);
    std::string text;
    if (!assets.empty()) text += notConnected + ": not added to revision control: " + Joined(assets) + "\n";
    if (!removedFiles.empty())
        text += notConnected + ": removed from disk but not marked for delete: " + Joined(removedFiles) + "\n";
    return text;
}

LeftOut FindLeftOut(DataControl& control, const SaveResult& saved)
{
    LeftOut left;
    if ((saved.newAssets.empty() && saved.removedFiles.empty()) || control.IsConnected()) return left;
    if (const UserParameters* account = control.Account()) {
        left.user = account->User();
        left.server = account->Server();
    }
    for (const DbObject* asset : saved.newAssets)
        left.assets.push_back(asset->GetName());
    left.removedFiles = saved.removedFiles;
    return left;
}

} // namespace standin
