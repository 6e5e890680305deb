#include "UserParameters.h"

#include <utility>

namespace standin {

UserParameters::UserParameters(std::string user, std::string password, std::string server, std::string workspace,
                               std::int64_t session)
    : m_user(std::move(user)), m_password(std::move(password)), m_server(std::move(server)),
      m_workspace(std::move(workspace)), m_session(session)
{
}

} // namespace standin
