// KeptConnections: a client's open connection to each server it asks things directly (locks,
// the log, the head revision), kept between operations so that a question costs one round trip
// instead of a connection, a greeting and a login each time.
//
// A kept connection the server closed while it sat idle (a restart, the end of a keep-alive, a
// deadline that broke it off) is found out by the next question, which is then asked once more on
// a new connection: the user never hears of it. Keeping is switched off while another call to the
// same server runs (whose deadline may break the connections open when it began): questions then
// go over a connection of their own, closed after them. svn://, https:// and http:// connections
// are kept; a file:// repository has none.
#pragma once

#include "subversion/SvnError.h"
#include "subversion/SvnPool.h"

#include <svn_client.h>
#include <svn_ra.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace standin::svn {

class KeptConnections {
public:
    using Question = std::function<svn_error_t*(svn_ra_session_t* connection, apr_pool_t* pool)>;
    // Whether to ask again after failure: false once the call was cancelled or ran out of time.
    using MayRetry = std::function<bool()>;

    KeptConnections(svn_client_ctx_t* context, apr_pool_t* parent, MayRetry mayRetry);
    ~KeptConnections();
    KeptConnections(const KeptConnections&) = delete;
    KeptConnections& operator=(const KeptConnections&) = delete;

    // Asks question on the connection to url (a repository URL, the connection's anchor). A
    // question that changes something is asked again only while repeatable says that none of it
    // was answered.
    Error Ask(const std::string& url, const Question& question, const std::function<bool()>& repeatable = {});
    // Asks change on a connection the server answered on in this call: a kept connection that has
    // not answered since the call began is first asked the head revision. A change written to the
    // kept connection of a server that froze while it sat idle would be carried out when the
    // server wakes, after the user was told it failed.
    Error AskLive(const std::string& url, const Question& change, const std::function<bool()>& repeatable);
    // A call begins: whether it may use kept connections.
    void BeginCall(bool keep);
    // A kept connection older than life is closed instead of used.
    void SetLife(std::chrono::steady_clock::duration life) { m_life = life; }
    bool Keeping() const { return m_keeping; }
    // Closes every kept connection.
    void CloseAll();

private:
    struct Connection {
        std::unique_ptr<Pool> pool;
        svn_ra_session_t* session = nullptr;
        std::chrono::steady_clock::time_point opened;
        bool answered = false; // in the current call
    };

    Error Open(const std::string& url, Connection& connection);
    static Error AskOn(Connection& connection, const Question& question);
    Error AskKept(const std::string& url, const Question& question, bool& reused);

    svn_client_ctx_t* m_context;
    apr_pool_t* m_parent;
    MayRetry m_mayRetry;
    std::map<std::string, Connection> m_kept;
    bool m_keeping = true;
    std::chrono::steady_clock::duration m_life = std::chrono::steady_clock::duration::max();
};

// Whether error says the connection was gone before an answer came (closed, reset, broken pipe).
bool ConnectionLost(const Error& error);

} // namespace standin::svn
