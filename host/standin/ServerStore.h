// ServerStore: the RevisionServer's tables in an SQLite data base, read afresh by every operation.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace standin {

// Action words of opened files.
namespace OpenAction {
constexpr const char* kEdit = "edit";
constexpr const char* kAdd = "add";
constexpr const char* kDelete = "delete";
} // namespace OpenAction

struct OpenRecord {
    std::string user;
    std::string workspace;
    std::string action;
    std::int64_t change = 0; // 0: the default changelist
};

struct LockRecord {
    std::string user;
    std::string workspace;
};

// What the depot knows of one file, seen from one workspace.
struct FileRecord {
    int head = 0; // 0: not in the depot
    bool exclusive = false;
    bool ioError = false;
    int have = 0; // 0: not on the client
    std::vector<OpenRecord> opened;
    std::optional<LockRecord> lock;
};

struct SessionRecord {
    std::string user;
    std::string workspace;
    bool expired = false;
};

struct ChangeRecord {
    std::string user;
    std::string workspace;
    std::string description;
    bool submitted = false;
};

// Throws std::runtime_error with the driver's text when a statement fails.
class ServerStore {
public:
    explicit ServerStore(const QString& databasePath);
    ~ServerStore();
    ServerStore(const ServerStore&) = delete;
    ServerStore& operator=(const ServerStore&) = delete;

    // Writes are serialised between processes; nested transactions join the outer one.
    class Transaction {
    public:
        explicit Transaction(ServerStore& store);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void Commit();

    private:
        ServerStore& m_store;
        bool m_outer;
        bool m_done = false;
    };

    std::string Config(const std::string& key) const;
    void SetConfig(const std::string& key, const std::string& value);

    std::optional<std::string> UserPassword(const std::string& user) const; // nullopt: no such user
    void AddUser(const std::string& name, const std::string& password);
    struct WorkspaceRecord {
        QString root;
        std::string owner;
    };
    std::optional<WorkspaceRecord> Workspace(const std::string& name) const;
    std::vector<std::pair<std::string, QString>> WorkspaceRoots() const;
    void AddWorkspace(const std::string& name, const QString& root, const std::string& owner);

    std::int64_t OpenSession(const std::string& user, const std::string& workspace);
    std::optional<SessionRecord> Session(std::int64_t id) const;
    void ExpireSession(std::int64_t id);

    // The records of the files (depot paths) as the workspace sees them.
    std::unordered_map<std::string, FileRecord> LoadFiles(const std::vector<std::string>& paths,
                                                          const std::string& workspace);
    std::string ContentAt(const std::string& path, int revision) const;

    void PutDepotFile(const std::string& path, int head, bool exclusive);
    void SetHead(const std::string& path, int head);
    void SetExclusive(const std::string& path, bool exclusive);
    void RemoveDepotFile(const std::string& path);
    void PutRevision(const std::string& path, int revision, const std::string& content);
    void SetIOError(const std::string& path, bool failing);
    void SetHave(const std::string& workspace, const std::vector<std::pair<std::string, int>>& haves);
    void PutOpened(const std::string& user, const std::string& workspace, const std::string& action,
                   std::int64_t change, const std::vector<std::string>& paths);
    void RemoveOpened(const std::string& user, const std::string& workspace, const std::vector<std::string>& paths);
    void PutLock(const std::string& user, const std::string& workspace, const std::vector<std::string>& paths);
    void RemoveLocks(const std::string& user, const std::string& workspace, const std::vector<std::string>& paths);
    // The user's opened files in the change, by depot path.
    std::vector<std::pair<std::string, std::string>> OpenedIn(const std::string& user, const std::string& workspace,
                                                              std::int64_t change);

    std::int64_t CreateChange(const std::string& user, const std::string& workspace, const std::string& description,
                              bool submitted);
    std::optional<ChangeRecord> Change(std::int64_t number) const;
    void MarkSubmitted(std::int64_t number);
    std::vector<std::int64_t> PendingChanges(const std::string& user, const std::string& workspace) const;

private:
    QSqlQuery Prepare(const QString& sql) const;
    static void Run(QSqlQuery& query);
    void RunSql(const QString& sql);
    void CreateSchema();

    QString m_connection;
    QSqlDatabase m_db;
    int m_depth = 0;
};

} // namespace standin
