#include "SvnSandbox.h"

#include "subversion/SvnBackend.h"
#include "testkit/StartServer.h"

#include <QDir>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

SvnSandbox::SvnSandbox(const std::map<std::string, std::string>& users, Transport transport)
    : m_users(users), m_transport(transport)
{
    if (!m_folder.isValid()) {
        m_error = "no temporary folder";
        return;
    }
    const std::string folder = m_folder.filePath(QStringLiteral("server")).toStdString();
    const bool https = transport == Transport::kHttps || transport == Transport::kReplica;
    m_server = standin::StartServer(https ? standin::ServerKind::kApache : standin::ServerKind::kSvnserve, folder,
                                    users, m_error);
    if (!m_server) return;
    if (transport == Transport::kReplica) {
        standin::HttpsServer::StartResult replica = standin::HttpsServer::StartReplica(
            m_folder.filePath(QStringLiteral("replica")).toStdString(), static_cast<standin::HttpsServer&>(*m_server));
        m_replica = std::move(replica.server);
        m_error = replica.error;
        if (!m_replica) return;
    }
    // The command-line client's own configuration: it writes its default files there.
    const QString cliConfig = m_folder.filePath(QStringLiteral("svn-config"));
    QDir().mkpath(cliConfig);
    if (https) std::filesystem::copy_file(ConfigFolder() + "/servers", cliConfig.toStdString() + "/servers");
    for (const auto& user : users)
        if (!m_server->CheckOut(user.first, WorkingCopy(user.first), m_error, UrlOf(user.first))) return;
}

bool SvnSandbox::BehindReplica(const std::string& user) const
{
    if (!m_replica) return false;
    bool behind = true;
    for (const auto& entry : m_users) {
        if (entry.first == user) return behind;
        behind = !behind;
    }
    return false;
}

std::string SvnSandbox::UrlOf(const std::string& user) const
{
    return BehindReplica(user) ? m_replica->Url() : Url();
}

bool SvnSandbox::SetAuthorization(const std::string& rules)
{
    return m_server->SetAuthorization(rules) && (!m_replica || m_replica->SetAuthorization(rules));
}

std::string SvnSandbox::Url() const
{
    return m_transport == Transport::kFile ? m_server->FileUrl() : m_server->Url();
}

std::string SvnSandbox::ConfigFolder() const
{
    const std::string trusting = m_server->ClientConfigFolder();
    return trusting.empty() ? m_folder.filePath(QStringLiteral("client-config")).toStdString() : trusting;
}

std::string SvnSandbox::WorkingCopy(const std::string& user) const
{
    return m_folder.filePath(QString::fromStdString("wc-" + user)).toStdString();
}

std::string SvnSandbox::PathOf(const std::string& user, const std::string& relative) const
{
    return WorkingCopy(user) + "/" + relative;
}

void SvnSandbox::SetPassword(const std::string& user, const std::string& password)
{
    m_users[user] = password;
    m_server->SetPassword(user, password);
    if (m_replica) m_replica->SetPassword(user, password);
}

standin::SessionId SvnSandbox::Open(standin::RevisionBackend& backend, const std::string& user,
                                    std::string& failure) const
{
    const standin::LoginResult login =
        backend.OpenSession({user, m_users.at(user), UrlOf(user), WorkingCopy(user), {}});
    failure = login.text;
    return login.session;
}

std::string SvnSandbox::Commit(const std::string& user, const std::map<std::string, std::string>& files,
                               const std::string& leaveBehind)
{
    standin::SvnBackend backend;
    backend.SetConfigurationFolder(ConfigFolder());
    std::string failure;
    const standin::SessionId session = Open(backend, user, failure);
    if (!session) return failure;
    standin::FileList existing;
    standin::FileList created;
    for (const auto& entry : files) {
        const std::string path = PathOf(user, entry.first);
        (std::filesystem::exists(path) ? existing : created).push_back(path);
    }
    // Versioned files are locked first, as the lock workflow asks, which makes them writable.
    const standin::ServerResult locked = backend.Edit(session, existing, "");
    if (locked.Failed()) return locked.text;
    for (const auto& [relative, content] : files) {
        const std::string path = PathOf(user, relative);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::trunc) << content;
    }
    const standin::ServerResult added = backend.Add(session, created, "");
    if (added.Failed()) return added.text;
    const standin::ChangeListResult submitted = backend.Submit(session, "");
    if (submitted.Failed()) return submitted.text;
    for (const auto& other : m_users)
        if (other.first != user && other.first != leaveBehind) {
            const std::string updated = Update(other.first);
            if (!updated.empty()) return updated;
        }
    return {};
}

namespace {
// A sanity bound for a program that hangs: an import of ten thousand files on a busy machine (the
// suite run beside a build) takes over half a minute.
constexpr int kSvnProgramPatienceMs = 90000; // within a test's own limit (120 s)
} // namespace

std::unique_ptr<QProcess> SvnSandbox::StartSvn(const std::string& user, const QStringList& arguments,
                                               const std::string& workingCopy)
{
    auto process = std::make_unique<QProcess>();
    process->setWorkingDirectory(QString::fromStdString(workingCopy.empty() ? WorkingCopy(user) : workingCopy));
    process->setProcessChannelMode(QProcess::MergedChannels);
    const QStringList common{QStringLiteral("--non-interactive"), QStringLiteral("--no-auth-cache"),
                             QStringLiteral("--config-dir"),      m_folder.filePath(QStringLiteral("svn-config")),
                             QStringLiteral("--username"),        QString::fromStdString(user),
                             QStringLiteral("--password"),        QString::fromStdString(m_users.at(user))};
    process->start(QStringLiteral("svn"), common + arguments);
    process->waitForStarted();
    return process;
}

int SvnSandbox::RunSvn(const std::string& user, const QStringList& arguments, const std::string& workingCopy)
{
    std::unique_ptr<QProcess> process = StartSvn(user, arguments, workingCopy);
    if (!process->waitForFinished(kSvnProgramPatienceMs)) {
        process->kill();
        process->waitForFinished();
        return -1;
    }
    return process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
}

std::string SvnSandbox::Update(const std::string& user)
{
    std::string error;
    m_server->Update(user, WorkingCopy(user), error);
    return error;
}

std::string TransportName(SvnSandbox::Transport transport)
{
    switch (transport) {
    case SvnSandbox::Transport::kFile:
        return "File";
    case SvnSandbox::Transport::kSvn:
        return "Svn";
    case SvnSandbox::Transport::kHttps:
        return "Https";
    case SvnSandbox::Transport::kReplica:
        return "Replica";
    }
    return "Unknown";
}

std::size_t OpenDescriptors()
{
    const std::filesystem::directory_iterator descriptors("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(descriptors), end(descriptors)));
}

int ListenOnLoopback(int backlog, sockaddr_in& address)
{
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener >= 0 && ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::listen(listener, backlog) == 0 &&
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        return listener;
    if (listener >= 0) ::close(listener);
    return -1;
}
