#include "subversion/KeptConnections.h"

#include <apr_errno.h>
#include <svn_error_codes.h>

namespace standin::svn {

namespace {
// A file:// repository has no connection to keep.
bool Keepable(const std::string& url)
{
    for (const char* scheme : {"svn://", "https://", "http://"})
        if (url.rfind(scheme, 0) == 0) return true;
    return false;
}
} // namespace

bool ConnectionLost(const Error& error)
{
    return error.Has(SVN_ERR_RA_SVN_CONNECTION_CLOSED) || error.Has(SVN_ERR_RA_SVN_IO_ERROR) ||
           error.Has(APR_ECONNRESET) || error.Has(APR_EPIPE) || error.Has(APR_ECONNABORTED);
}

KeptConnections::KeptConnections(svn_client_ctx_t* context, apr_pool_t* parent, MayRetry mayRetry)
    : m_context(context), m_parent(parent), m_mayRetry(std::move(mayRetry))
{
}

KeptConnections::~KeptConnections()
{
    CloseAll();
}

void KeptConnections::CloseAll()
{
    m_kept.clear();
}

void KeptConnections::BeginCall(bool keep)
{
    m_keeping = keep;
    for (auto& entry : m_kept)
        entry.second.answered = false;
}

Error KeptConnections::Open(const std::string& url, Connection& connection)
{
    auto pool = std::make_unique<Pool>(m_parent);
    svn_ra_session_t* session = nullptr;
    Error error;
    {
        Pool scratch(pool->Get());
        error = Error(svn_client_open_ra_session2(&session, url.c_str(), nullptr, m_context, *pool, scratch));
    }
    if (error) return error;
    connection.pool = std::move(pool);
    connection.session = session;
    connection.opened = std::chrono::steady_clock::now();
    return error;
}

Error KeptConnections::AskOn(Connection& connection, const Question& question)
{
    Pool pool(connection.pool->Get());
    return Error(question(connection.session, pool));
}

Error KeptConnections::AskKept(const std::string& url, const Question& question, bool& reused)
{
    auto found = m_kept.find(url);
    if (found != m_kept.end() && std::chrono::steady_clock::now() - found->second.opened >= m_life) {
        m_kept.erase(found);
        found = m_kept.end();
    }
    reused = found != m_kept.end();
    if (!reused) {
        Connection opened;
        Error error = Open(url, opened);
        if (error) return error;
        found = m_kept.emplace(url, std::move(opened)).first;
    }
    Error error = AskOn(found->second, question);
    found->second.answered = !error;
    // A failed question may leave its answer half read (a cancel, a callback's error): the
    // connection's next question would read the rest as its own answer.
    if (error) m_kept.erase(found);
    return error;
}

Error KeptConnections::Ask(const std::string& url, const Question& question, const std::function<bool()>& repeatable)
{
    if (!m_keeping || !Keepable(url)) {
        Connection own;
        Error error = Open(url, own);
        return error ? std::move(error) : AskOn(own, question);
    }
    bool reused = false;
    Error error = AskKept(url, question, reused);
    // A fresh connection's failure, or one the caller gave up on, is the answer; a kept one that
    // was gone has been dropped, and the question goes over a new one.
    if (!error || !reused || !ConnectionLost(error) || !m_mayRetry() || (repeatable && !repeatable())) return error;
    return AskKept(url, question, reused);
}

Error KeptConnections::AskLive(const std::string& url, const Question& change, const std::function<bool()>& repeatable)
{
    const auto found = m_kept.find(url);
    if (m_keeping && found != m_kept.end() && !found->second.answered) {
        Error alive = Ask(url, [](svn_ra_session_t* connection, apr_pool_t* pool) {
            svn_revnum_t latest = SVN_INVALID_REVNUM;
            return svn_ra_get_latest_revnum(connection, &latest, pool);
        });
        if (alive) return alive;
    }
    return Ask(url, change, repeatable);
}

} // namespace standin::svn
