// HttpsServer: the repository served by Apache httpd with mod_dav_svn over TLS (RepositoryServer),
// the way studios serve Subversion: Basic authentication from a password file, path-based
// authorization (mod_authz_svn), and a certificate signed by an authority of its own.
//
// Everything lives in the server's folder: an Apache configuration of our own (no system site is
// enabled or changed), the run's certificate authority and server certificate (made with openssl
// at the first start), the password and authorization files. Apache runs as one process (-X) in
// the foreground. Started as root, it serves as www-data, which is given the repository and the
// server's files, and may enter the folders above them.
#pragma once

#include "testkit/RepositoryServer.h"

namespace standin {

class HttpsServer final : public RepositoryServer {
public:
    static constexpr const char* kProgram = "apache2";
    static constexpr const char* kLocation = "/svn/depot";

    // The server certificate a run gets: signed by the run's authority for 127.0.0.1, or one that
    // fails a client's check even when the authority is trusted.
    enum class Certificate { kValid, kOtherHostName, kExpired, kNotYetValid };

    struct StartResult {
        std::unique_ptr<HttpsServer> server; // null on failure
        std::string error;
    };

    // As SvnServer::Start; the certificate is made at the first start in folder and kept after.
    static StartResult Start(const std::string& folder, const std::map<std::string, std::string>& users,
                             Certificate certificate = Certificate::kValid);

    // A replica of master in folder, with the master's users. masterUrl: where the replica and its
    // clients reach the master (a relay in front of it); "" for the master's own URL.
    static StartResult StartReplica(const std::string& folder, const HttpsServer& master,
                                    const std::string& masterUrl = std::string());
    // Brings a replica up to its master's head now, as the master's post-commit hook does; false
    // with the reason.
    bool Synchronize(std::string& error) const;
    // The master a replica forwards writes to; "" for a master.
    const std::string& MasterUrl() const { return m_masterUrl; }

    // https://127.0.0.1:<port>/svn/depot
    std::string Url() const override;
    // Its "servers" file names the run's authority in ssl-authority-files.
    std::string ClientConfigFolder() const override;
    std::string PasswordFile() const override;
    // The run's certificate authority (PEM), for a client's ssl-authority-files.
    std::string AuthorityFile() const;
    std::string ErrorLog() const;
    // Makes a new server certificate of the given kind, signed by the same authority, and restarts
    // the server on the same port with it (as a studio renews a certificate).
    bool ReplaceCertificate(Certificate certificate, std::string& error);

private:
    HttpsServer(std::string folder, std::map<std::string, std::string> users, Certificate certificate);
    const char* Program() const override { return kProgram; }
    std::vector<std::string> CommandLine(int port) const override;
    bool WriteConfiguration(std::string& error) const override;
    bool PrepareFolder(std::string& error) override;
    bool WriteServerFile(const std::string& path, const std::string& text, std::string& error) const override;

    std::string Httpd() const;
    bool MakeAuthority(std::string& error) const;
    bool MakeServerCertificate(std::string& error) const;
    // Root only: hands path (recursively) to the server's user.
    void GiveToServer(const std::string& path) const;

    Certificate m_certificate;
    std::string m_serverUser; // empty when Apache runs as the current user
    // A replica's master: its URL, repository and Apache folder; empty for a master.
    std::string m_masterUrl;
    std::string m_masterRepository;
    std::string m_masterHttpd;
};

} // namespace standin
