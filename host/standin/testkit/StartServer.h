// The project's own server of either kind, for callers that choose at run time.
#pragma once

#include "testkit/RepositoryServer.h"

#include <map>
#include <memory>
#include <string>

namespace standin {

enum class ServerKind { kSvnserve, kApache };

// As SvnServer::Start and HttpsServer::Start (with a valid certificate): null, with the reason in
// error, when the server could not start.
std::unique_ptr<RepositoryServer> StartServer(ServerKind kind, const std::string& folder,
                                              const std::map<std::string, std::string>& users, std::string& error);

} // namespace standin
