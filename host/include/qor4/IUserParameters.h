// IUserParameters: an account (user, password, server, workspace) as the revision-control services
// hold it. Opaque to plug-ins; made by IFileVersionControl::CreateUserParameters and owned by it.
#pragma once

namespace qor4 {

class IUserParameters {
public:
    virtual ~IUserParameters() = default;
};

} // namespace qor4
