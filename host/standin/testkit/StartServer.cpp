#include "testkit/StartServer.h"

#include "testkit/HttpsServer.h"
#include "testkit/SvnServer.h"

namespace standin {

namespace {

template <typename Result> std::unique_ptr<RepositoryServer> Taken(Result started, std::string& error)
{
    error = std::move(started.error);
    return std::move(started.server);
}

} // namespace

std::unique_ptr<RepositoryServer> StartServer(ServerKind kind, const std::string& folder,
                                              const std::map<std::string, std::string>& users, std::string& error)
{
    return kind == ServerKind::kApache ? Taken(HttpsServer::Start(folder, users), error)
                                       : Taken(SvnServer::Start(folder, users), error);
}

} // namespace standin
