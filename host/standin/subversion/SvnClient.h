// SvnClient: one user's libsvn_client context.
//
// The configuration is read as Subversion's own clients read it (the system's, then the user's
// folder or the one named), so that authority files, proxies, timeouts and server groups apply;
// nothing is ever written there. Credentials are answered from memory by prompt providers that may
// not save them, with the auth cache switched off. A server certificate that the configuration does
// not make trusted is accepted only when its fingerprint was accepted for the session; otherwise
// the call fails and UntrustedCertificate tells what was refused. The password is wiped when the client is destroyed or
// WipePassword is called, and the memory the client's pool held is overwritten as it is freed. Notifications and
// cancellation go to whatever the current operation installed.
#pragma once

#include "revisioncontrol/RevisionBackend.h"
#include "subversion/KeptConnections.h"
#include "subversion/ProgressMark.h"
#include "subversion/SvnPool.h"

#include <svn_client.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace standin::svn {

class Client {
public:
    // Asked to cancel again within this, the client is busy with work of its own.
    static constexpr std::chrono::milliseconds kBusyAsking{100};

    using Notify = std::function<void(const svn_wc_notify_t&)>;
    using Clock = std::chrono::steady_clock;

    struct Settings {
        // Subversion's configuration folder; "" for the user's own (~/.subversion).
        std::string configFolder;
        // SHA-1 fingerprints of server certificates accepted for this session.
        std::vector<std::string> acceptedCertificates;
    };

    // Throws std::runtime_error when the configuration cannot be read.
    Client(const std::string& user, const std::string& password, const Settings& settings = {});
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    svn_client_ctx_t* Context() const { return m_context; }
    apr_pool_t* PoolHandle() const { return m_pool.Get(); }
    const std::string& User() const { return m_user; }
    void WipePassword();
    // The password goes only to the servers named here (the session's, its replica's master);
    // any other server a repository leads to, through an external say, is not given it.
    void GivePasswordTo(const std::string& serverUrl);
    // The last server certificate this client refused to trust (Empty() when none).
    const ServerCertificate& UntrustedCertificate() const { return m_untrusted; }

    // Calls made while the returned guard lives report their notifications to notify.
    class NotifyScope {
    public:
        NotifyScope(Client& client, Notify notify);
        ~NotifyScope();
        NotifyScope(const NotifyScope&) = delete;
        NotifyScope& operator=(const NotifyScope&) = delete;

    private:
        Client& m_client;
        Notify m_previous;
    };

    // A call running past the deadline, or cancelled by the user (OperationScope), is cancelled
    // through Subversion's cancel callback.
    void SetDeadline(Clock::time_point deadline)
    {
        m_deadline = deadline;
        m_idle = std::chrono::milliseconds::zero();
        m_progress->Restart();
    }
    void ClearDeadline() { SetDeadline(Clock::time_point::max()); }
    // From now, a call is cancelled once the server has shown no progress for idle, and at cap
    // whatever it shows: a long transfer goes on while bytes and notifications keep coming.
    void FollowProgress(std::chrono::milliseconds idle, Clock::time_point cap)
    {
        m_deadline = cap;
        m_idle = idle;
        m_progress->Restart();
    }
    // What the client marks whenever its server shows progress.
    std::shared_ptr<ProgressMark> Progress() const { return m_progress; }
    // The connections kept open to the servers this client asks directly.
    KeptConnections& Connections() { return *m_kept; }
    // The log message of the next commit.
    void SetLogMessage(std::string message) { m_logMessage = std::move(message); }

    // An APR array of C strings that lives in pool.
    static apr_array_header_t* Targets(const std::vector<std::string>& paths, apr_pool_t* pool);

private:
    static svn_error_t* PromptSimple(svn_auth_cred_simple_t** credentials, void* baton, const char* realm,
                                     const char* user, svn_boolean_t maySave, apr_pool_t* pool);
    static svn_error_t* PromptUser(svn_auth_cred_username_t** credentials, void* baton, const char* realm,
                                   svn_boolean_t maySave, apr_pool_t* pool);
    static svn_error_t* PromptServerTrust(svn_auth_cred_ssl_server_trust_t** credentials, void* baton,
                                          const char* realm, apr_uint32_t failures,
                                          const svn_auth_ssl_server_cert_info_t* certificate, svn_boolean_t maySave,
                                          apr_pool_t* pool);
    static void OnNotify(void* baton, const svn_wc_notify_t* notify, apr_pool_t* pool);
    static svn_error_t* OnCancel(void* baton);
    static void OnProgress(apr_off_t progress, apr_off_t total, void* baton, apr_pool_t* pool);
    static svn_error_t* OnLogMessage(const char** message, const char** file, const apr_array_header_t* items,
                                     void* baton, apr_pool_t* pool);

    Pool m_pool{Pool::OwnAllocator{}};
    svn_client_ctx_t* m_context = nullptr;
    std::unique_ptr<KeptConnections> m_kept; // in m_pool: closed before it goes
    std::string m_user;
    std::vector<char> m_password;              // with its terminating zero; wiped, never reallocated
    std::vector<std::string> m_passwordRealms; // "<scheme://host:port>", as Subversion's realms begin
    Notify m_notify;
    Clock::time_point m_deadline = Clock::time_point::max();
    std::chrono::milliseconds m_idle{0}; // 0: no idle limit, only the deadline
    Clock::time_point m_lastAsked;       // when Subversion last asked whether to cancel
    std::shared_ptr<ProgressMark> m_progress = std::make_shared<ProgressMark>();
    std::string m_logMessage;
    std::vector<std::string> m_accepted;
    ServerCertificate m_untrusted;
};

} // namespace standin::svn
