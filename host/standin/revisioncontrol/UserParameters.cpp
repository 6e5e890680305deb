#include "revisioncontrol/UserParameters.h"

#include <utility>

namespace standin {

UserParameters::UserParameters(std::string user, std::string server, std::string workspace, SessionId session)
    : m_user(std::move(user)), m_server(std::move(server)), m_workspace(std::move(workspace)), m_session(session)
{
}

} // namespace standin
