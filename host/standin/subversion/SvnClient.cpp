#include "subversion/SvnClient.h"

#include "subversion/ConnectionBreaker.h"
#include "subversion/SvnError.h"

#include "revisioncontrol/OperationScope.h"

#include <svn_auth.h>
#include <svn_base64.h>
#include <svn_config.h>
#include <svn_x509.h>

#include <apr_strings.h>
#include <apr_tables.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <tuple>
#include <utility>

#include <malloc.h>

namespace standin::svn {

namespace {

// Subversion retries a refused password this many more times; the server's refusal must come
// back at once.
constexpr int kPromptRetries = 0;
constexpr const char* kEveryFile = "*";
constexpr const char* kNeedsLockAutoProp = "svn:needs-lock=*";
constexpr int kFreedMemoryByte = 0x5a;

void Wipe(std::vector<char>& bytes)
{
    volatile char* target = bytes.data();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        target[i] = 0;
}

std::string Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// How Subversion names a server at the start of the realm it asks credentials for: its canonical
// URLs have the scheme and host in lower case.
std::string RealmPrefix(const std::string& url)
{
    const std::string lowered = Lowered(url);
    std::string host;
    std::string port;
    if (!SplitUrl(lowered, host, port)) return {};
    return "<" + lowered.substr(0, lowered.find("://")) + "://" + host + ":" + port + ">";
}

void Check(svn_error_t* error, const char* what)
{
    if (error) throw std::runtime_error(std::string(what) + ": " + Error(error).Text());
}

svn_config_t* Category(apr_hash_t* configuration, const char* name, apr_pool_t* pool)
{
    auto* category = static_cast<svn_config_t*>(apr_hash_get(configuration, name, APR_HASH_KEY_STRING));
    if (!category) {
        Check(svn_config_create2(&category, FALSE, FALSE, pool), "configuration");
        apr_hash_set(configuration, name, APR_HASH_KEY_STRING, category);
    }
    return category;
}

// The system's and the user's configuration (or the named folder's), read only: unlike the
// command-line client, nothing creates the folder or its default files.
apr_hash_t* ReadConfiguration(const std::string& folder, apr_pool_t* pool)
{
    apr_hash_t* configuration = nullptr;
    Check(svn_config_get_config(&configuration, folder.empty() ? nullptr : folder.c_str(), pool),
          "Subversion configuration");
    svn_config_t* servers = Category(configuration, SVN_CONFIG_CATEGORY_SERVERS, pool);
    // Belt and braces: no provider here stores anything, whatever the files ask for.
    svn_config_set(servers, SVN_CONFIG_SECTION_GLOBAL, SVN_CONFIG_OPTION_STORE_PASSWORDS, "no");
    svn_config_set(servers, SVN_CONFIG_SECTION_GLOBAL, SVN_CONFIG_OPTION_STORE_AUTH_CREDS, "no");
    svn_config_t* config = Category(configuration, SVN_CONFIG_CATEGORY_CONFIG, pool);
    // Every file this client adds is an asset, and assets are locked before they are edited.
    svn_config_set(config, SVN_CONFIG_SECTION_MISCELLANY, SVN_CONFIG_OPTION_ENABLE_AUTO_PROPS, "yes");
    svn_config_set(config, SVN_CONFIG_SECTION_AUTO_PROPS, kEveryFile, kNeedsLockAutoProp);
    return configuration;
}

// realm: "https://host:port", the server the certificate came from.
std::string Problems(apr_uint32_t failures, const char* certifiedHost, const std::string& realm)
{
    std::string host = realm.substr(realm.find("://") == std::string::npos ? 0 : realm.find("://") + 3);
    host = host.substr(0, host.rfind(':'));
    std::string text;
    const auto add = [&text](const std::string& problem) { text += (text.empty() ? "" : "; ") + problem; };
    if (failures & SVN_AUTH_SSL_UNKNOWNCA) add("it is issued by an unknown authority");
    if (failures & SVN_AUTH_SSL_CNMISMATCH)
        add(std::string("it was issued for ") + (certifiedHost ? certifiedHost : "another host") + ", not for " + host);
    if (failures & SVN_AUTH_SSL_EXPIRED) add("it has expired");
    if (failures & SVN_AUTH_SSL_NOTYETVALID) add("it is not yet valid");
    if (failures & SVN_AUTH_SSL_OTHER) add("it failed another check");
    return text;
}

// The certificate's subject and issuer as distinguished names ("CN=..., O=...").
std::pair<std::string, std::string> NamesOf(const char* asciiCertificate, apr_pool_t* pool)
{
    if (!asciiCertificate) return {};
    const svn_string_t* der = svn_base64_decode_string(svn_string_create(asciiCertificate, pool), pool);
    svn_x509_certinfo_t* info = nullptr;
    svn_error_t* error = svn_x509_parse_cert(&info, der->data, der->len, pool, pool);
    if (error) {
        svn_error_clear(error);
        return {};
    }
    return {svn_x509_certinfo_get_subject(info, pool), svn_x509_certinfo_get_issuer(info, pool)};
}

} // namespace

Client::Client(const std::string& user, const std::string& password, const Settings& settings)
    : m_user(user), m_password(password.begin(), password.end()), m_accepted(settings.acceptedCertificates)
{
    m_password.push_back('\0');
    apr_pool_t* pool = m_pool.Get();
    Check(svn_client_create_context2(&m_context, ReadConfiguration(settings.configFolder, pool), pool),
          "client context");

    apr_array_header_t* providers = apr_array_make(pool, 3, sizeof(svn_auth_provider_object_t*));
    svn_auth_provider_object_t* provider = nullptr;
    svn_auth_get_simple_prompt_provider(&provider, &Client::PromptSimple, this, kPromptRetries, pool);
    APR_ARRAY_PUSH(providers, svn_auth_provider_object_t*) = provider;
    svn_auth_get_username_prompt_provider(&provider, &Client::PromptUser, this, kPromptRetries, pool);
    APR_ARRAY_PUSH(providers, svn_auth_provider_object_t*) = provider;
    svn_auth_get_ssl_server_trust_prompt_provider(&provider, &Client::PromptServerTrust, this, pool);
    APR_ARRAY_PUSH(providers, svn_auth_provider_object_t*) = provider;
    svn_auth_baton_t* auth = nullptr;
    svn_auth_open(&auth, providers, pool);
    svn_auth_set_parameter(auth, SVN_AUTH_PARAM_NO_AUTH_CACHE, "");
    svn_auth_set_parameter(auth, SVN_AUTH_PARAM_NON_INTERACTIVE, "");
    svn_auth_set_parameter(auth, SVN_AUTH_PARAM_DEFAULT_USERNAME, apr_pstrdup(pool, m_user.c_str()));
    m_context->auth_baton = auth;

    m_context->notify_func2 = &Client::OnNotify;
    m_context->notify_baton2 = this;
    m_context->cancel_func = &Client::OnCancel;
    m_context->cancel_baton = this;
    m_context->progress_func = &Client::OnProgress;
    m_context->progress_baton = this;
    m_context->log_msg_func3 = &Client::OnLogMessage;
    m_context->log_msg_baton3 = this;
    m_kept = std::make_unique<KeptConnections>(m_context, m_pool.Get(),
                                               [this] { return !OperationScope::Cancelled() && !m_progress->Ended(); });
}

Client::~Client()
{
    Wipe(m_password);
    m_kept.reset();
    // Subversion's libraries copy the password into this client's pool memory (the SASL secret of
    // an svn:// login). A top-level pool has an allocator of its own, which frees its memory when the
    // pool goes; glibc overwrites what is freed while the pool is handed back.
    mallopt(M_PERTURB, kFreedMemoryByte);
    m_pool.Destroy();
    mallopt(M_PERTURB, 0);
}

void Client::WipePassword()
{
    Wipe(m_password);
    // A connection that logged in with it would go on working without it.
    m_kept->CloseAll();
    svn_auth_forget_credentials(m_context->auth_baton, nullptr, nullptr, m_pool.Get());
}

void Client::GivePasswordTo(const std::string& serverUrl)
{
    const std::string prefix = RealmPrefix(serverUrl);
    if (!prefix.empty()) m_passwordRealms.push_back(prefix);
}

Client::NotifyScope::NotifyScope(Client& client, Notify notify) : m_client(client), m_previous(client.m_notify)
{
    client.m_notify = std::move(notify);
}

Client::NotifyScope::~NotifyScope()
{
    m_client.m_notify = std::move(m_previous);
}

apr_array_header_t* Client::Targets(const std::vector<std::string>& paths, apr_pool_t* pool)
{
    apr_array_header_t* targets = apr_array_make(pool, static_cast<int>(paths.size()), sizeof(const char*));
    for (const std::string& path : paths)
        APR_ARRAY_PUSH(targets, const char*) = apr_pstrdup(pool, path.c_str());
    return targets;
}

svn_error_t* Client::PromptSimple(svn_auth_cred_simple_t** credentials, void* baton, const char* realm, const char*,
                                  svn_boolean_t, apr_pool_t* pool)
{
    const auto* client = static_cast<const Client*>(baton);
    *credentials = nullptr;
    const std::string asking = Lowered(realm ? realm : "");
    const bool known = std::any_of(client->m_passwordRealms.begin(), client->m_passwordRealms.end(),
                                   [&](const std::string& prefix) { return asking.rfind(prefix, 0) == 0; });
    if (!known) return SVN_NO_ERROR;
    auto* answer = static_cast<svn_auth_cred_simple_t*>(apr_pcalloc(pool, sizeof(svn_auth_cred_simple_t)));
    answer->username = apr_pstrdup(pool, client->m_user.c_str());
    // Not copied into the pool, whose memory outlives the session unwiped: the auth baton keeps a
    // pointer to the one copy that WipePassword overwrites.
    answer->password = client->m_password.data();
    answer->may_save = FALSE;
    *credentials = answer;
    return SVN_NO_ERROR;
}

svn_error_t* Client::PromptUser(svn_auth_cred_username_t** credentials, void* baton, const char*, svn_boolean_t,
                                apr_pool_t* pool)
{
    const auto* client = static_cast<const Client*>(baton);
    auto* answer = static_cast<svn_auth_cred_username_t*>(apr_pcalloc(pool, sizeof(svn_auth_cred_username_t)));
    answer->username = apr_pstrdup(pool, client->m_user.c_str());
    answer->may_save = FALSE;
    *credentials = answer;
    return SVN_NO_ERROR;
}

svn_error_t* Client::PromptServerTrust(svn_auth_cred_ssl_server_trust_t** credentials, void* baton, const char* realm,
                                       apr_uint32_t failures, const svn_auth_ssl_server_cert_info_t* certificate,
                                       svn_boolean_t, apr_pool_t* pool)
{
    auto* client = static_cast<Client*>(baton);
    *credentials = nullptr;
    if (!certificate || !certificate->fingerprint) return SVN_NO_ERROR;
    const std::string fingerprint = certificate->fingerprint;
    if (std::find(client->m_accepted.begin(), client->m_accepted.end(), fingerprint) != client->m_accepted.end()) {
        auto* answer =
            static_cast<svn_auth_cred_ssl_server_trust_t*>(apr_pcalloc(pool, sizeof(svn_auth_cred_ssl_server_trust_t)));
        answer->may_save = FALSE;
        answer->accepted_failures = failures;
        *credentials = answer;
        return SVN_NO_ERROR;
    }
    ServerCertificate& refused = client->m_untrusted;
    refused.server = realm ? realm : "";
    refused.problems = Problems(failures, certificate->hostname, refused.server);
    std::tie(refused.subject, refused.issuer) = NamesOf(certificate->ascii_cert, pool);
    if (refused.subject.empty() && certificate->hostname) refused.subject = std::string("CN=") + certificate->hostname;
    if (refused.issuer.empty() && certificate->issuer_dname) refused.issuer = certificate->issuer_dname;
    refused.fingerprint = fingerprint;
    refused.validFrom = certificate->valid_from ? certificate->valid_from : "";
    refused.validUntil = certificate->valid_until ? certificate->valid_until : "";
    return SVN_NO_ERROR;
}

void Client::OnNotify(void* baton, const svn_wc_notify_t* notify, apr_pool_t*)
{
    auto* client = static_cast<Client*>(baton);
    client->m_progress->Touch();
    if (client->m_notify && notify) client->m_notify(*notify);
}

void Client::OnProgress(apr_off_t, apr_off_t, void* baton, apr_pool_t*)
{
    static_cast<Client*>(baton)->m_progress->Touch();
}

svn_error_t* Client::OnCancel(void* baton)
{
    auto* client = static_cast<Client*>(baton);
    if (OperationScope::Cancelled()) return svn_error_create(SVN_ERR_CANCELLED, nullptr, "Cancelled by the user");
    const Clock::time_point now = Clock::now();
    // Subversion asks many times a second while it works through the working copy, and at most
    // about twice a second while it waits for a server: only the former is work going on.
    if (now - client->m_lastAsked < kBusyAsking) client->m_progress->Touch();
    client->m_lastAsked = now;
    const bool idle = client->m_idle.count() > 0 && now > client->m_progress->Last() + client->m_idle;
    if (idle || now > client->m_deadline) client->m_progress->End();
    if (client->m_progress->Ended())
        return svn_error_create(SVN_ERR_CANCELLED, nullptr, "The server did not answer in time");
    return SVN_NO_ERROR;
}

svn_error_t* Client::OnLogMessage(const char** message, const char** file, const apr_array_header_t*, void* baton,
                                  apr_pool_t* pool)
{
    const auto* client = static_cast<const Client*>(baton);
    *message = apr_pstrdup(pool, client->m_logMessage.c_str());
    *file = nullptr;
    return SVN_NO_ERROR;
}

} // namespace standin::svn
