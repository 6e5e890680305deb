#include "revisioncontrol/AccountBook.h"

namespace standin {

std::vector<UserParameters*> AccountBook::Matching(const std::string& user, const std::string& server,
                                                   const std::string& workspace) const
{
    std::vector<UserParameters*> found;
    for (const auto& account : m_accounts)
        if (account->User() == user && account->Server() == server && account->Workspace() == workspace)
            found.push_back(account.get());
    return found;
}

const UserParameters* AccountBook::Open(const std::string& user, const std::string& server,
                                        const std::string& workspace, SessionId session,
                                        std::vector<SessionId>& replaced)
{
    m_waiting = nullptr;
    // One live session per account: the ones it replaces end, and their accounts wait again.
    for (UserParameters* account : Matching(user, server, workspace)) {
        if (account->Session() != 0) replaced.push_back(account->Session());
        account->SetSession(0);
    }
    m_accounts.push_back(std::make_unique<UserParameters>(user, server, workspace, session));
    return m_accounts.back().get();
}

void AccountBook::Refused(const std::string& user, const std::string& server, const std::string& workspace)
{
    for (UserParameters* account : Matching(user, server, workspace))
        if (account->Session() == 0) {
            m_waiting = account;
            return;
        }
    m_accounts.push_back(std::make_unique<UserParameters>(user, server, workspace, 0));
    m_waiting = m_accounts.back().get();
}

bool AccountBook::Unanswered(const std::string& user, const std::string& server, const std::string& workspace)
{
    const std::vector<UserParameters*> matching = Matching(user, server, workspace);
    for (auto account = matching.rbegin(); account != matching.rend(); ++account)
        if ((*account)->Session() != 0) {
            m_waiting = *account;
            return true;
        }
    return false;
}

const UserParameters* AccountBook::Find(const qor4::IUserParameters* account) const
{
    for (const auto& own : m_accounts)
        if (own.get() == account) return own.get();
    return nullptr;
}

std::vector<SessionId> AccountBook::Sessions() const
{
    std::vector<SessionId> sessions;
    for (const auto& account : m_accounts)
        if (account->Session() != 0) sessions.push_back(account->Session());
    return sessions;
}

} // namespace standin
