// An account of the stand-in revision-control services: what CreateUserParameters was given and
// the server session the login opened.
#pragma once

#include "HostExport.h"
#include "qor4/IUserParameters.h"

#include <cstdint>
#include <string>

namespace standin {

class HOST_API UserParameters final : public qor4::IUserParameters {
public:
    UserParameters(std::string user, std::string password, std::string server, std::string workspace,
                   std::int64_t session);

    const std::string& User() const { return m_user; }
    const std::string& Password() const { return m_password; }
    const std::string& Server() const { return m_server; }
    const std::string& Workspace() const { return m_workspace; }
    // The RevisionServer session to act in (RevisionServer::UseSession).
    std::int64_t Session() const { return m_session; }

private:
    std::string m_user;
    std::string m_password;
    std::string m_server;
    std::string m_workspace;
    std::int64_t m_session;
};

} // namespace standin
