#include "ServerStore.h"

#include <QSqlError>
#include <QVariant>

#include <atomic>
#include <stdexcept>

namespace standin {

namespace {

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS config (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS users (name TEXT PRIMARY KEY, password TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS workspaces (name TEXT PRIMARY KEY, root TEXT NOT NULL, owner TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS sessions (id INTEGER PRIMARY KEY AUTOINCREMENT, user TEXT NOT NULL,"
    " workspace TEXT NOT NULL, expired INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS depot (path TEXT PRIMARY KEY, head INTEGER NOT NULL, exclusive INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS revisions (path TEXT NOT NULL, rev INTEGER NOT NULL, content BLOB,"
    " PRIMARY KEY (path, rev))",
    "CREATE TABLE IF NOT EXISTS have (workspace TEXT NOT NULL, path TEXT NOT NULL, rev INTEGER NOT NULL,"
    " PRIMARY KEY (workspace, path))",
    "CREATE TABLE IF NOT EXISTS opened (path TEXT NOT NULL, user TEXT NOT NULL, workspace TEXT NOT NULL,"
    " action TEXT NOT NULL, change INTEGER NOT NULL, PRIMARY KEY (path, user, workspace))",
    "CREATE TABLE IF NOT EXISTS locks (path TEXT PRIMARY KEY, user TEXT NOT NULL, workspace TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS io_errors (path TEXT PRIMARY KEY)",
    "CREATE TABLE IF NOT EXISTS changes (number INTEGER PRIMARY KEY AUTOINCREMENT, user TEXT NOT NULL,"
    " workspace TEXT NOT NULL, description TEXT NOT NULL, submitted INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS opened_by_change ON opened (user, workspace, change)",
};

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}
std::string S(const QVariant& value)
{
    return value.toString().toStdString();
}

std::atomic<int> g_connectionSerial{0};

} // namespace

ServerStore::ServerStore(const QString& databasePath)
    : m_connection(QStringLiteral("standin-revision-server-%1").arg(++g_connectionSerial))
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(databasePath);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!m_db.open())
        throw std::runtime_error("Cannot open the depot data base: " + m_db.lastError().text().toStdString());
    RunSql(QStringLiteral("PRAGMA synchronous=NORMAL"));
    Transaction transaction(*this);
    CreateSchema();
    transaction.Commit();
}

ServerStore::~ServerStore()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

ServerStore::Transaction::Transaction(ServerStore& store) : m_store(store), m_outer(store.m_depth == 0)
{
    if (m_outer) m_store.RunSql(QStringLiteral("BEGIN IMMEDIATE"));
    ++m_store.m_depth;
}

ServerStore::Transaction::~Transaction()
{
    --m_store.m_depth;
    if (m_outer && !m_done) QSqlQuery(QStringLiteral("ROLLBACK"), m_store.m_db);
}

void ServerStore::Transaction::Commit()
{
    if (m_outer && !m_done) m_store.RunSql(QStringLiteral("COMMIT"));
    m_done = true;
}

QSqlQuery ServerStore::Prepare(const QString& sql) const
{
    QSqlQuery query(m_db);
    if (!query.prepare(sql))
        throw std::runtime_error("Depot data base error: " + query.lastError().text().toStdString());
    return query;
}

void ServerStore::Run(QSqlQuery& query)
{
    if (!query.exec()) throw std::runtime_error("Depot data base error: " + query.lastError().text().toStdString());
}

void ServerStore::RunSql(const QString& sql)
{
    QSqlQuery query(m_db);
    if (!query.exec(sql)) throw std::runtime_error("Depot data base error: " + query.lastError().text().toStdString());
}

void ServerStore::CreateSchema()
{
    for (const char* statement : kSchema)
        RunSql(QString::fromLatin1(statement));
    RunSql(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS request (path TEXT PRIMARY KEY)"));
}

std::string ServerStore::Config(const std::string& key) const
{
    QSqlQuery query = Prepare(QStringLiteral("SELECT value FROM config WHERE key = ?"));
    query.addBindValue(Q(key));
    Run(query);
    return query.next() ? S(query.value(0)) : std::string();
}

void ServerStore::SetConfig(const std::string& key, const std::string& value)
{
    QSqlQuery query = Prepare(QStringLiteral("INSERT OR REPLACE INTO config (key, value) VALUES (?, ?)"));
    query.addBindValue(Q(key));
    query.addBindValue(Q(value));
    Run(query);
}

std::optional<std::string> ServerStore::UserPassword(const std::string& user) const
{
    QSqlQuery query = Prepare(QStringLiteral("SELECT password FROM users WHERE name = ?"));
    query.addBindValue(Q(user));
    Run(query);
    if (!query.next()) return std::nullopt;
    return S(query.value(0));
}

void ServerStore::AddUser(const std::string& name, const std::string& password)
{
    QSqlQuery query = Prepare(QStringLiteral("INSERT OR REPLACE INTO users (name, password) VALUES (?, ?)"));
    query.addBindValue(Q(name));
    query.addBindValue(Q(password));
    Run(query);
}

std::optional<ServerStore::WorkspaceRecord> ServerStore::Workspace(const std::string& name) const
{
    QSqlQuery query = Prepare(QStringLiteral("SELECT root, owner FROM workspaces WHERE name = ?"));
    query.addBindValue(Q(name));
    Run(query);
    if (!query.next()) return std::nullopt;
    return WorkspaceRecord{query.value(0).toString(), S(query.value(1))};
}

std::vector<std::pair<std::string, QString>> ServerStore::WorkspaceRoots() const
{
    QSqlQuery query = Prepare(QStringLiteral("SELECT name, root FROM workspaces ORDER BY name"));
    Run(query);
    std::vector<std::pair<std::string, QString>> roots;
    while (query.next())
        roots.emplace_back(S(query.value(0)), query.value(1).toString());
    return roots;
}

void ServerStore::AddWorkspace(const std::string& name, const QString& root, const std::string& owner)
{
    QSqlQuery query = Prepare(QStringLiteral("INSERT OR REPLACE INTO workspaces (name, root, owner) VALUES (?, ?, ?)"));
    query.addBindValue(Q(name));
    query.addBindValue(root);
    query.addBindValue(Q(owner));
    Run(query);
}

std::int64_t ServerStore::OpenSession(const std::string& user, const std::string& workspace)
{
    QSqlQuery query = Prepare(QStringLiteral("INSERT INTO sessions (user, workspace) VALUES (?, ?)"));
    query.addBindValue(Q(user));
    query.addBindValue(Q(workspace));
    Run(query);
    return query.lastInsertId().toLongLong();
}

std::optional<SessionRecord> ServerStore::Session(std::int64_t id) const
{
    QSqlQuery query = Prepare(QStringLiteral("SELECT user, workspace, expired FROM sessions WHERE id = ?"));
    query.addBindValue(static_cast<qlonglong>(id));
    Run(query);
    if (!query.next()) return std::nullopt;
    return SessionRecord{S(query.value(0)), S(query.value(1)), query.value(2).toInt() != 0};
}

void ServerStore::ExpireSession(std::int64_t id)
{
    QSqlQuery query = Prepare(QStringLiteral("UPDATE sessions SET expired = 1 WHERE id = ?"));
    query.addBindValue(static_cast<qlonglong>(id));
    Run(query);
}

std::unordered_map<std::string, FileRecord> ServerStore::LoadFiles(const std::vector<std::string>& paths,
                                                                   const std::string& workspace)
{
    std::unordered_map<std::string, FileRecord> records;
    RunSql(QStringLiteral("DELETE FROM temp.request"));
    QSqlQuery insert = Prepare(QStringLiteral("INSERT OR IGNORE INTO temp.request (path) VALUES (?)"));
    for (const std::string& path : paths) {
        records.emplace(path, FileRecord{});
        insert.bindValue(0, Q(path));
        Run(insert);
    }

    QSqlQuery depot = Prepare(
        QStringLiteral("SELECT d.path, d.head, d.exclusive FROM depot d JOIN temp.request r ON d.path = r.path"));
    Run(depot);
    while (depot.next()) {
        FileRecord& record = records[S(depot.value(0))];
        record.head = depot.value(1).toInt();
        record.exclusive = depot.value(2).toInt() != 0;
    }
    QSqlQuery have = Prepare(QStringLiteral(
        "SELECT h.path, h.rev FROM have h JOIN temp.request r ON h.path = r.path WHERE h.workspace = ?"));
    have.addBindValue(Q(workspace));
    Run(have);
    while (have.next())
        records[S(have.value(0))].have = have.value(1).toInt();
    QSqlQuery opened = Prepare(QStringLiteral("SELECT o.path, o.user, o.workspace, o.action, o.change FROM opened o"
                                              " JOIN temp.request r ON o.path = r.path ORDER BY o.user, o.workspace"));
    Run(opened);
    while (opened.next())
        records[S(opened.value(0))].opened.push_back(
            {S(opened.value(1)), S(opened.value(2)), S(opened.value(3)), opened.value(4).toLongLong()});
    QSqlQuery locks = Prepare(
        QStringLiteral("SELECT l.path, l.user, l.workspace FROM locks l JOIN temp.request r ON l.path = r.path"));
    Run(locks);
    while (locks.next())
        records[S(locks.value(0))].lock = LockRecord{S(locks.value(1)), S(locks.value(2))};
    QSqlQuery errors = Prepare(QStringLiteral("SELECT e.path FROM io_errors e JOIN temp.request r ON e.path = r.path"));
    Run(errors);
    while (errors.next())
        records[S(errors.value(0))].ioError = true;
    return records;
}

std::string ServerStore::ContentAt(const std::string& path, int revision) const
{
    QSqlQuery query =
        Prepare(QStringLiteral("SELECT content FROM revisions WHERE path = ? AND rev <= ? ORDER BY rev DESC LIMIT 1"));
    query.addBindValue(Q(path));
    query.addBindValue(revision);
    Run(query);
    return query.next() ? query.value(0).toByteArray().toStdString() : std::string();
}

void ServerStore::PutDepotFile(const std::string& path, int head, bool exclusive)
{
    QSqlQuery query = Prepare(QStringLiteral("INSERT OR REPLACE INTO depot (path, head, exclusive) VALUES (?, ?, ?)"));
    query.addBindValue(Q(path));
    query.addBindValue(head);
    query.addBindValue(exclusive ? 1 : 0);
    Run(query);
}

void ServerStore::SetHead(const std::string& path, int head)
{
    QSqlQuery query = Prepare(QStringLiteral("UPDATE depot SET head = ? WHERE path = ?"));
    query.addBindValue(head);
    query.addBindValue(Q(path));
    Run(query);
}

void ServerStore::SetExclusive(const std::string& path, bool exclusive)
{
    QSqlQuery query = Prepare(QStringLiteral("UPDATE depot SET exclusive = ? WHERE path = ?"));
    query.addBindValue(exclusive ? 1 : 0);
    query.addBindValue(Q(path));
    Run(query);
}

void ServerStore::RemoveDepotFile(const std::string& path)
{
    for (const char* sql : {"DELETE FROM depot WHERE path = ?", "DELETE FROM have WHERE path = ?",
                            "DELETE FROM revisions WHERE path = ?"}) {
        QSqlQuery query = Prepare(QString::fromLatin1(sql));
        query.addBindValue(Q(path));
        Run(query);
    }
}

void ServerStore::PutRevision(const std::string& path, int revision, const std::string& content)
{
    QSqlQuery query = Prepare(QStringLiteral("INSERT OR REPLACE INTO revisions (path, rev, content) VALUES (?, ?, ?)"));
    query.addBindValue(Q(path));
    query.addBindValue(revision);
    query.addBindValue(QByteArray::fromStdString(content));
    Run(query);
}

void ServerStore::SetIOError(const std::string& path, bool failing)
{
    QSqlQuery query = Prepare(failing ? QStringLiteral("INSERT OR IGNORE INTO io_errors (path) VALUES (?)")
                                      : QStringLiteral("DELETE FROM io_errors WHERE path = ?"));
    query.addBindValue(Q(path));
    Run(query);
}

void ServerStore::SetHave(const std::string& workspace, const std::vector<std::pair<std::string, int>>& haves)
{
    QSqlQuery query = Prepare(QStringLiteral("INSERT OR REPLACE INTO have (workspace, path, rev) VALUES (?, ?, ?)"));
    for (const auto& [path, revision] : haves) {
        query.bindValue(0, Q(workspace));
        query.bindValue(1, Q(path));
        query.bindValue(2, revision);
        Run(query);
    }
}

void ServerStore::PutOpened(const std::string& user, const std::string& workspace, const std::string& action,
                            std::int64_t change, const std::vector<std::string>& paths)
{
    QSqlQuery query = Prepare(
        QStringLiteral("INSERT OR REPLACE INTO opened (path, user, workspace, action, change) VALUES (?, ?, ?, ?, ?)"));
    for (const std::string& path : paths) {
        query.bindValue(0, Q(path));
        query.bindValue(1, Q(user));
        query.bindValue(2, Q(workspace));
        query.bindValue(3, Q(action));
        query.bindValue(4, static_cast<qlonglong>(change));
        Run(query);
    }
}

void ServerStore::RemoveOpened(const std::string& user, const std::string& workspace,
                               const std::vector<std::string>& paths)
{
    QSqlQuery query = Prepare(QStringLiteral("DELETE FROM opened WHERE path = ? AND user = ? AND workspace = ?"));
    for (const std::string& path : paths) {
        query.bindValue(0, Q(path));
        query.bindValue(1, Q(user));
        query.bindValue(2, Q(workspace));
        Run(query);
    }
}

void ServerStore::PutLock(const std::string& user, const std::string& workspace, const std::vector<std::string>& paths)
{
    QSqlQuery query = Prepare(QStringLiteral("INSERT OR REPLACE INTO locks (path, user, workspace) VALUES (?, ?, ?)"));
    for (const std::string& path : paths) {
        query.bindValue(0, Q(path));
        query.bindValue(1, Q(user));
        query.bindValue(2, Q(workspace));
        Run(query);
    }
}

void ServerStore::RemoveLocks(const std::string& user, const std::string& workspace,
                              const std::vector<std::string>& paths)
{
    QSqlQuery query = Prepare(QStringLiteral("DELETE FROM locks WHERE path = ? AND user = ? AND workspace = ?"));
    for (const std::string& path : paths) {
        query.bindValue(0, Q(path));
        query.bindValue(1, Q(user));
        query.bindValue(2, Q(workspace));
        Run(query);
    }
}

std::vector<std::pair<std::string, std::string>>
ServerStore::OpenedIn(const std::string& user, const std::string& workspace, std::int64_t change)
{
    QSqlQuery query = Prepare(QStringLiteral(
        "SELECT path, action FROM opened WHERE user = ? AND workspace = ? AND change = ? ORDER BY path"));
    query.addBindValue(Q(user));
    query.addBindValue(Q(workspace));
    query.addBindValue(static_cast<qlonglong>(change));
    Run(query);
    std::vector<std::pair<std::string, std::string>> files;
    while (query.next())
        files.emplace_back(S(query.value(0)), S(query.value(1)));
    return files;
}

std::int64_t ServerStore::CreateChange(const std::string& user, const std::string& workspace,
                                       const std::string& description, bool submitted)
{
    QSqlQuery query =
        Prepare(QStringLiteral("INSERT INTO changes (user, workspace, description, submitted) VALUES (?, ?, ?, ?)"));
    query.addBindValue(Q(user));
    query.addBindValue(Q(workspace));
    query.addBindValue(Q(description));
    query.addBindValue(submitted ? 1 : 0);
    Run(query);
    return query.lastInsertId().toLongLong();
}

std::optional<ChangeRecord> ServerStore::Change(std::int64_t number) const
{
    QSqlQuery query =
        Prepare(QStringLiteral("SELECT user, workspace, description, submitted FROM changes WHERE number = ?"));
    query.addBindValue(static_cast<qlonglong>(number));
    Run(query);
    if (!query.next()) return std::nullopt;
    return ChangeRecord{S(query.value(0)), S(query.value(1)), S(query.value(2)), query.value(3).toInt() != 0};
}

void ServerStore::MarkSubmitted(std::int64_t number)
{
    QSqlQuery query = Prepare(QStringLiteral("UPDATE changes SET submitted = 1 WHERE number = ?"));
    query.addBindValue(static_cast<qlonglong>(number));
    Run(query);
}

std::vector<std::int64_t> ServerStore::PendingChanges(const std::string& user, const std::string& workspace) const
{
    QSqlQuery query = Prepare(QStringLiteral(
        "SELECT number FROM changes WHERE user = ? AND workspace = ? AND submitted = 0 ORDER BY number"));
    query.addBindValue(Q(user));
    query.addBindValue(Q(workspace));
    Run(query);
    std::vector<std::int64_t> numbers;
    while (query.next())
        numbers.push_back(query.value(0).toLongLong());
    return numbers;
}

} // namespace standin
