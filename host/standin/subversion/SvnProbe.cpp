#include "subversion/SvnProbe.h"

#include "subversion/ConnectionBreaker.h"
#include "subversion/SvnClient.h"
#include "subversion/SvnError.h"

#include <svn_ra.h>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>

namespace standin::svn {

namespace {

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point until)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Connects and waits for the first byte the server sends, which svnserve sends unasked.
bool GreetingArrives(const std::string& host, const std::string& port, Clock::time_point until)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return false;
    bool answered = false;
    for (const addrinfo* entry = found; entry && !answered && Remaining(until) > 0; entry = entry->ai_next) {
        const int fd = socket(entry->ai_family, entry->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, entry->ai_protocol);
        if (fd < 0) continue;
        if (connect(fd, entry->ai_addr, entry->ai_addrlen) == 0 || errno == EINPROGRESS) {
            pollfd wanted{fd, POLLIN, 0};
            char byte = 0;
            answered =
                poll(&wanted, 1, Remaining(until)) == 1 && (wanted.revents & POLLIN) && recv(fd, &byte, 1, 0) == 1;
        }
        close(fd);
    }
    freeaddrinfo(found);
    return answered;
}

// Opens a repository session as nobody: any answer of the server, a refusal included, is one.
bool SessionAnswers(const std::string& url, Clock::time_point until, const std::string& configFolder)
{
    Client client("", "", Client::Settings{configFolder, {}});
    client.SetDeadline(until);
    Pool pool(client.PoolHandle());
    svn_ra_session_t* session = nullptr;
    const Error error(svn_client_open_ra_session2(&session, url.c_str(), nullptr, client.Context(), pool, pool));
    return !error || error.Has(SVN_ERR_RA_NOT_AUTHORIZED) || error.Has(SVN_ERR_AUTHN_FAILED) ||
           error.Has(SVN_ERR_AUTHN_CREDS_UNAVAILABLE) || error.Has(SVN_ERR_AUTHN_NO_PROVIDER) ||
           error.Has(SVN_ERR_RA_DAV_FORBIDDEN) || error.Has(SVN_ERR_RA_SERF_SSL_CERT_UNTRUSTED);
}

} // namespace

bool ServerAnswers(const std::string& url, std::chrono::milliseconds within, const std::string& configFolder)
{
    const Clock::time_point until = Clock::now() + within;
    if (url.rfind("file://", 0) == 0) return true;
    if (url.rfind("svn://", 0) == 0) {
        std::string host, port;
        return SplitUrl(url, host, port) && GreetingArrives(host, port, until);
    }
    try {
        return SessionAnswers(url, until, configFolder);
    } catch (const std::runtime_error&) {
        return false; // an unreadable configuration: no session can be opened either
    }
}

} // namespace standin::svn
