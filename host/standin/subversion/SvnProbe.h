// Whether a Subversion server answers at all, without a session: for telling when a server that
// stopped answering is back.
#pragma once

#include <chrono>
#include <string>

namespace standin::svn {

// svn:// waits for the server's greeting on a new connection; http:// and https:// for the
// server's reply to opening a repository session (a refusal of credentials counts); file:// has
// no server and always answers. configFolder: the Subversion configuration to connect with ("" the
// user's own), for proxies and trusted authorities.
bool ServerAnswers(const std::string& url, std::chrono::milliseconds within, const std::string& configFolder = {});

} // namespace standin::svn
