// Making files writable on disk, outside the lock workflow (the host's "make writable").
#include "subversion/SvnCommands.h"

#include "subversion/SvnChange.h"
#include "subversion/SvnSession.h"

#include "framework/WorkingCopyFence.h"

#include <filesystem>

namespace standin::svn {

ServerResult MakeWritable(Session& session, Call& call, const FileList& files)
{
    Plan plan;
    ServerResult result;
    if (!Open(session, call, files, Opening{nullptr, false, false}, plan, result)) return result;
    std::string& refusals = plan.refusals;
    // A link Subversion versions may lead out of the working copy: its mode is not ours to change.
    const WorkingCopyFence fence(session.workingCopy);
    for (const std::string& file : plan.paths) {
        const std::string refusal = fence.RefuseChange(file);
        if (!refusal.empty()) refusals += refusal + "\n";
    }
    if (!refusals.empty()) return {ServerCode::kFileStateRejected, refusals};
    for (const std::string& file : plan.paths) {
        std::error_code error;
        std::filesystem::permissions(file, std::filesystem::perms::owner_write, std::filesystem::perm_options::add,
                                     error);
        if (error) refusals += file + " - cannot be made writable: " + error.message() + "\n";
    }
    if (!refusals.empty()) return {ServerCode::kIOError, refusals};
    return result;
}

} // namespace standin::svn
