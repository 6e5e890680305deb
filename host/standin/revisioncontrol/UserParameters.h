// An account of the stand-in revision-control services: the user, server and working copy it was
// opened with, and the backend session the login opened. The password stays with the session.
#pragma once

#include "HostExport.h"
#include "qor4/IUserParameters.h"
#include "revisioncontrol/RevisionBackend.h"

#include <string>

namespace standin {

class HOST_API UserParameters final : public qor4::IUserParameters {
public:
    UserParameters(std::string user, std::string server, std::string workspace, SessionId session);

    const std::string& User() const { return m_user; }
    const std::string& Server() const { return m_server; }
    const std::string& Workspace() const { return m_workspace; }
    // The backend session to act in; 0 while the account waits for its password.
    SessionId Session() const { return m_session; }
    void SetSession(SessionId session) { m_session = session; }

private:
    std::string m_user;
    std::string m_server;
    std::string m_workspace;
    SessionId m_session;
};

} // namespace standin
