#include "LoadUser.h"

#include "Journal.h"

#include "revisioncontrol/RevisionBackend.h"
#include "subversion/SubmitRecord.h"
#include "subversion/SvnBackend.h"
#include "subversion/SvnClient.h"
#include "subversion/SvnError.h"
#include "subversion/SvnPool.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <thread>

namespace load {

namespace {

namespace fs = qor4::FileStatus;
using standin::FileList;
using standin::ServerCode::kOutcomeUnknown;

constexpr auto kOperationDeadline = std::chrono::seconds(3);
constexpr auto kLoginPause = std::chrono::milliseconds(200);
constexpr auto kSettlePause = std::chrono::seconds(1);
constexpr const char* kNewFolder = "new-";

class User {
public:
    explicit User(const UserOptions& options)
        : m_options(options), m_journal(options.journal), m_random(options.seed),
          m_until(Now() + static_cast<std::int64_t>(options.seconds * 1e6))
    {
        m_backend.SetDeadline(kOperationDeadline);
        m_backend.SetConfigurationFolder(m_options.configFolder);
    }

    int Run()
    {
        if (!Login()) return 0;
        SettleWhatAKillLeft();
        Resync();
        while (Now() < m_until) {
            const int roll = static_cast<int>(m_random() % 100);
            if (roll < 8)
                Update();
            else if (roll < 40)
                CheckOut();
            else if (roll < 62)
                Submit();
            else if (roll < 74)
                Revert();
            else if (roll < 82)
                Add();
            else if (roll < 86)
                Delete();
            else
                Status();
        }
        return 0;
    }

private:
    std::string Local(const std::string& relative) const { return m_options.workingCopy + "/" + relative; }
    FileList Locals(const std::vector<std::string>& relatives) const
    {
        FileList files;
        for (const std::string& relative : relatives)
            files.push_back(Local(relative));
        return files;
    }

    bool Login()
    {
        while (Now() < m_until) {
            const standin::LoginResult login =
                m_backend.OpenSession({m_options.user, m_options.password, m_options.url, m_options.workingCopy, {}});
            if (login.Succeeded()) {
                m_session = login.session;
                m_told += login.settled;
                return true;
            }
            std::this_thread::sleep_for(kLoginPause);
        }
        return false;
    }

    template <typename Result>
    Result Logged(const char* op, const std::vector<std::string>& files, const Result& result, std::int64_t begin,
                  const std::string& token = std::string(), long revision = 0)
    {
        m_told += result.settled;
        Entry entry;
        entry.begin = begin;
        entry.end = Now();
        entry.user = m_options.user;
        entry.op = op;
        entry.code = result.code;
        entry.revision = revision;
        entry.token = token;
        entry.files = files;
        entry.text = result.text;
        m_journal.Write(entry);
        if (result.code == qor4::kResultSessionExpired) Login();
        return result;
    }

    // The files this user holds locked, as the server says: behind a replica, an update drops
    // tokens that the working copy alone would not know are still this user's.
    void Resync()
    {
        std::vector<std::string> all;
        for (int i = 0; i < m_options.assets; ++i)
            all.push_back(AssetPath(i));
        const standin::StatusResult status =
            m_backend.Status(m_session, Locals(all), standin::StatusScope::kWithRepository);
        if (status.Failed()) return;
        m_held.clear();
        for (std::size_t i = 0; i < all.size() && i < status.words.size(); ++i)
            if (status.words[i] & fs::kLockedByMe) m_held.insert(all[i]);
    }

    void Update()
    {
        const std::int64_t begin = Now();
        standin::ServerResult result;
        standin::svn::Client client(m_options.user, m_options.password,
                                    standin::svn::Client::Settings{m_options.configFolder, {}});
        client.SetDeadline(std::chrono::steady_clock::now() + kOperationDeadline);
        standin::svn::Pool pool(client.PoolHandle());
        svn_opt_revision_t head{};
        head.kind = svn_opt_revision_head;
        apr_array_header_t* revisions = nullptr;
        const standin::svn::Error failed(
            svn_client_update4(&revisions, standin::svn::Client::Targets({m_options.workingCopy}, pool), &head,
                               svn_depth_infinity, FALSE, TRUE, FALSE, FALSE, TRUE, client.Context(), pool));
        if (failed) result = {standin::ServerCode::kServerError, failed.Text()};
        Logged(Op::kUpdate, {}, result, begin);
    }

    void CheckOut()
    {
        std::vector<std::string> files;
        const int count = 1 + static_cast<int>(m_random() % 2);
        for (int i = 0; i < count; ++i) {
            const std::string file = AssetPath(static_cast<int>(m_random() % static_cast<unsigned>(m_options.assets)));
            if (!m_held.count(file) && std::find(files.begin(), files.end(), file) == files.end())
                files.push_back(file);
        }
        if (files.empty()) return;
        const std::int64_t begin = Now();
        const standin::ServerResult result =
            Logged(Op::kCheckOut, files, m_backend.Edit(m_session, Locals(files), ""), begin);
        if (result.code == 0)
            m_held.insert(files.begin(), files.end());
        else
            Resync();
    }

    void Submit()
    {
        if (m_held.empty() && m_added.empty()) return;
        const std::string token =
            m_options.user + "-" + std::to_string(m_options.seed) + "-" + std::to_string(++m_sequence);
        std::vector<std::string> files(m_held.begin(), m_held.end());
        files.insert(files.end(), m_added.begin(), m_added.end());
        for (const std::string& file : files)
            std::ofstream(Local(file), std::ios::trunc) << token;
        Entry begun;
        begun.begin = begun.end = Now();
        begun.user = m_options.user;
        begun.op = Op::kSubmitBegin;
        begun.token = token;
        begun.files = files;
        m_journal.Write(begun);
        const std::int64_t begin = Now();
        const standin::ChangeListResult result = m_backend.Submit(m_session, "");
        Logged(Op::kSubmit, files, result, begin, token, result.revision);
        if (result.code == kOutcomeUnknown) {
            Settle(token, files);
            return;
        }
        if (result.revision > 0) {
            // A commit drops the tokens of what it committed, whether or not the server then
            // answers the walk that tells.
            for (const std::string& file : files)
                m_held.erase(file);
            for (const std::string& file : m_added)
                m_ownCommitted.insert(file);
            m_added.clear();
        }
        Resync();
    }

    // What the backend told of the submit whose answer was lost: landed, not landed, or not yet.
    std::optional<bool> Verdict() const
    {
        if (m_told.find("Submitted as revision ") != std::string::npos) return true;
        if (m_told.find("Nothing was submitted from ") != std::string::npos) return false;
        // No record in the working copy and nothing told: the commit never began.
        if (!std::filesystem::exists(m_options.workingCopy + "/.svn/" + standin::svn::SubmitRecord::kFileName))
            return false;
        return std::nullopt;
    }

    // The backend settles a submit whose answer was lost by itself, at the next login or operation
    // that reaches the server, and tells it: the user's story is what it was told.
    void Settle(const std::string& token, const std::vector<std::string>& files)
    {
        const std::int64_t begin = Now();
        standin::StatusResult status;
        std::optional<bool> verdict = Verdict();
        for (int attempt = 0; !verdict && attempt < 30 && Now() < m_until + 60000000; ++attempt) {
            if (attempt > 0) std::this_thread::sleep_for(kSettlePause);
            status = m_backend.Status(m_session, Locals(files), standin::StatusScope::kWithRepository);
            m_told += status.settled;
            if (status.code == qor4::kResultSessionExpired) Login();
            verdict = Verdict();
        }
        const bool agreed = verdict.has_value();
        const bool landed = agreed && *verdict;
        m_told.clear();
        const standin::ServerResult said =
            agreed ? standin::ServerResult{landed ? 1 : 0, ""}
                   : standin::ServerResult{status.Failed() ? status.code : standin::ServerCode::kServerError,
                                           "not settled: " + status.text};
        Logged(Op::kSettle, files, said, begin, token);
        // Start again from the repository: the copy's edits are the ones just judged.
        const std::int64_t reverted = Now();
        Logged(Op::kRevert, files, m_backend.Revert(m_session, Locals(files)), reverted);
        Update();
        m_added.clear();
        Resync();
    }

    void SettleWhatAKillLeft()
    {
        std::map<std::string, std::vector<std::string>> begun;
        for (const Entry& entry : ReadJournal(m_options.journal)) {
            if (entry.op == Op::kSubmitBegin) begun[entry.token] = entry.files;
            if (entry.op == Op::kSubmit || entry.op == Op::kSettle) begun.erase(entry.token);
        }
        for (const auto& [token, files] : begun)
            Settle(token, files);
    }

    void Revert()
    {
        if (m_held.empty()) return;
        const std::vector<std::string> files(m_held.begin(), m_held.end());
        const std::int64_t begin = Now();
        if (Logged(Op::kRevert, files, m_backend.Revert(m_session, Locals(files)), begin).code == 0)
            for (const std::string& file : files)
                m_held.erase(file);
        Resync();
    }

    void Add()
    {
        // A folder of the user's own: two users adding the same new folder would collide at commit.
        const std::string folder = kNewFolder + m_options.user;
        const std::string file =
            folder + "/" + std::to_string(m_options.seed) + "-" + std::to_string(++m_sequence) + ".qor";
        std::filesystem::create_directories(Local(folder));
        std::ofstream(Local(file)) << "new";
        const std::int64_t begin = Now();
        if (Logged(Op::kAdd, {file}, m_backend.Add(m_session, {Local(file)}, ""), begin).code == 0)
            m_added.insert(file);
        else
            std::filesystem::remove(Local(file));
    }

    void Delete()
    {
        if (m_ownCommitted.empty()) return;
        const std::string file = *m_ownCommitted.begin();
        m_ownCommitted.erase(m_ownCommitted.begin());
        const std::int64_t begin = Now();
        Logged(Op::kDelete, {file}, m_backend.Delete(m_session, {Local(file)}, ""), begin);
    }

    void Status()
    {
        std::vector<std::string> all;
        for (int i = 0; i < m_options.assets; ++i)
            all.push_back(AssetPath(i));
        const std::int64_t begin = Now();
        Logged(Op::kStatus, {}, m_backend.Status(m_session, Locals(all), standin::StatusScope::kWithRepository), begin);
    }

    const UserOptions& m_options;
    standin::SvnBackend m_backend;
    Journal m_journal;
    std::mt19937 m_random;
    // What the backend told of interrupted work since the last settling (ServerResult::settled).
    std::string m_told;
    std::int64_t m_until;
    standin::SessionId m_session = 0;
    std::set<std::string> m_held;
    std::set<std::string> m_added;
    std::set<std::string> m_ownCommitted;
    long m_sequence = 0;
};

} // namespace

std::string AssetPath(int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "assets/a%03d.qor", index);
    return name;
}

int RunUser(const UserOptions& options)
{
    return User(options).Run();
}

} // namespace load
