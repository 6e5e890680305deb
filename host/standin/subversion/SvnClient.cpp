#include "SvnClient.h"

#include "SvnError.h"

#include "OperationScope.h"

#include <svn_auth.h>
#include <svn_config.h>

#include <apr_strings.h>
#include <apr_tables.h>

#include <stdexcept>

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

void Check(svn_error_t* error, const char* what)
{
    if (error) throw std::runtime_error(std::string(what) + ": " + Error(error).Text());
}

apr_hash_t* EmptyConfiguration(apr_pool_t* pool)
{
    apr_hash_t* configuration = apr_hash_make(pool);
    for (const char* category : {SVN_CONFIG_CATEGORY_CONFIG, SVN_CONFIG_CATEGORY_SERVERS}) {
        svn_config_t* section = nullptr;
        Check(svn_config_create2(&section, FALSE, FALSE, pool), "configuration");
        apr_hash_set(configuration, category, APR_HASH_KEY_STRING, section);
    }
    svn_config_t* servers =
        static_cast<svn_config_t*>(apr_hash_get(configuration, SVN_CONFIG_CATEGORY_SERVERS, APR_HASH_KEY_STRING));
    // https servers whose certificate a system authority signed are trusted without asking.
    svn_config_set(servers, SVN_CONFIG_SECTION_GLOBAL, SVN_CONFIG_OPTION_SSL_TRUST_DEFAULT_CA, "yes");
    svn_config_set(servers, SVN_CONFIG_SECTION_GLOBAL, SVN_CONFIG_OPTION_STORE_PASSWORDS, "no");
    svn_config_set(servers, SVN_CONFIG_SECTION_GLOBAL, SVN_CONFIG_OPTION_STORE_AUTH_CREDS, "no");
    svn_config_t* config =
        static_cast<svn_config_t*>(apr_hash_get(configuration, SVN_CONFIG_CATEGORY_CONFIG, APR_HASH_KEY_STRING));
    // Every file this client adds is an asset, and assets are locked before they are edited.
    svn_config_set(config, SVN_CONFIG_SECTION_MISCELLANY, SVN_CONFIG_OPTION_ENABLE_AUTO_PROPS, "yes");
    svn_config_set(config, SVN_CONFIG_SECTION_AUTO_PROPS, kEveryFile, kNeedsLockAutoProp);
    return configuration;
}

} // namespace

Client::Client(const std::string& user, const std::string& password)
    : m_user(user), m_password(password.begin(), password.end())
{
    m_password.push_back('\0');
    apr_pool_t* pool = m_pool.Get();
    Check(svn_client_create_context2(&m_context, EmptyConfiguration(pool), pool), "client context");

    apr_array_header_t* providers = apr_array_make(pool, 2, sizeof(svn_auth_provider_object_t*));
    svn_auth_provider_object_t* provider = nullptr;
    svn_auth_get_simple_prompt_provider(&provider, &Client::PromptSimple, this, kPromptRetries, pool);
    APR_ARRAY_PUSH(providers, svn_auth_provider_object_t*) = provider;
    svn_auth_get_username_prompt_provider(&provider, &Client::PromptUser, this, kPromptRetries, pool);
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
    m_context->log_msg_func3 = &Client::OnLogMessage;
    m_context->log_msg_baton3 = this;
}

Client::~Client()
{
    Wipe(m_password);
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
    svn_auth_forget_credentials(m_context->auth_baton, nullptr, nullptr, m_pool.Get());
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

svn_error_t* Client::PromptSimple(svn_auth_cred_simple_t** credentials, void* baton, const char*, const char*,
                                  svn_boolean_t, apr_pool_t* pool)
{
    const auto* client = static_cast<const Client*>(baton);
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

void Client::OnNotify(void* baton, const svn_wc_notify_t* notify, apr_pool_t*)
{
    auto* client = static_cast<Client*>(baton);
    if (client->m_notify && notify) client->m_notify(*notify);
}

svn_error_t* Client::OnCancel(void* baton)
{
    const auto* client = static_cast<const Client*>(baton);
    if (OperationScope::Cancelled()) return svn_error_create(SVN_ERR_CANCELLED, nullptr, "Cancelled by the user");
    if (Clock::now() > client->m_deadline)
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
