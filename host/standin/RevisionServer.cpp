#include "RevisionServer.h"

#include "ServerDisk.h"
#include "ServerStore.h"
#include "qor4/IFileVersionControl.h"

#include <QDir>
#include <QEventLoop>
#include <QTimer>

#include <set>
#include <stdexcept>
#include <unordered_set>

namespace standin {

namespace {

using namespace qor4::FileStatus;
using qor4::StatusWord;

constexpr const char* kDepotPrefix = "//depot/";
constexpr const char* kOtherWorkspaceSuffix = "-ws";

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string Shown(const std::string& path)
{
    return kDepotPrefix + path;
}
std::string Line(const std::string& path, const std::string& reason)
{
    return Shown(path) + " - " + reason + "\n";
}

std::string DefaultWorkspace(const std::string& user, const std::string& workspace)
{
    return workspace.empty() ? user + kOtherWorkspaceSuffix : workspace;
}

// A depot path from a depot, absolute or relative path; nullopt outside the root.
std::optional<std::string> ToDepotPath(const std::string& file, const QString& root)
{
    QString relative;
    if (file.rfind(kDepotPrefix, 0) == 0) {
        relative = Q(file.substr(std::char_traits<char>::length(kDepotPrefix)));
    } else {
        const QString path = QDir::fromNativeSeparators(Q(file));
        if (QDir::isAbsolutePath(path)) {
            const QString clean = QDir::cleanPath(path);
            if (root.isEmpty() || !clean.startsWith(root + QLatin1Char('/'))) return std::nullopt;
            relative = clean.mid(root.size() + 1);
        } else {
            relative = path;
        }
    }
    relative = QDir::cleanPath(relative);
    if (relative.isEmpty() || relative == QLatin1String(".") || relative == QLatin1String("..") ||
        relative.startsWith(QLatin1String("../")) || QDir::isAbsolutePath(relative))
        return std::nullopt;
    return relative.toStdString();
}

std::vector<std::string> Unique(const std::vector<std::string>& paths)
{
    std::vector<std::string> unique;
    std::unordered_set<std::string> seen;
    for (const std::string& path : paths)
        if (seen.insert(path).second) unique.push_back(path);
    return unique;
}

template <class R> R Failure(std::int32_t code, std::string text)
{
    R result;
    result.code = code;
    result.text = std::move(text);
    return result;
}

} // namespace

// The current session as one operation sees it.
struct ServerContext {
    std::string user;
    std::string workspace;
    QString root;

    bool IsMine(const OpenRecord& open) const { return open.user == user && open.workspace == workspace; }
    bool IsMine(const LockRecord& lock) const { return lock.user == user && lock.workspace == workspace; }
    QString Local(const std::string& path) const { return root + QLatin1Char('/') + Q(path); }
};

class RevisionServer::Impl {
public:
    Impl(RevisionServer& owner, const QString& databasePath) : m_owner(owner), m_store(databasePath) {}

    // Runs body(context, result) inside one transaction, after the call was entered and the session
    // checked. The body leaves a failed result when the transaction must not be committed.
    template <class R, class Body> R Run(const char* operation, std::vector<std::string> arguments, Body body)
    {
        const ServerResult entered = m_owner.Enter(operation, std::move(arguments));
        if (entered.Failed()) return Failure<R>(entered.code, entered.text);
        try {
            ServerStore::Transaction transaction(m_store);
            ServerContext context;
            const ServerResult alive = Context(context);
            if (alive.Failed()) return Failure<R>(alive.code, alive.text);
            R result;
            body(context, result);
            if (result.Succeeded()) transaction.Commit();
            return result;
        } catch (const std::exception& error) {
            return Failure<R>(ServerCode::kDataBaseError, std::string(error.what()) + "\n");
        }
    }

    ServerResult Context(ServerContext& context)
    {
        if (m_owner.m_session == 0) return {qor4::kResultSessionExpired, std::string(ServerText::kNotLoggedIn) + "\n"};
        const auto session = m_store.Session(m_owner.m_session);
        if (!session || session->expired)
            return {qor4::kResultSessionExpired, std::string(ServerText::kSessionExpired) + "\n"};
        const auto workspace = m_store.Workspace(session->workspace);
        if (!workspace)
            return {ServerCode::kLoginFailed, "Client '" + session->workspace +
                                                  "' unknown - use 'client' command "
                                                  "to create it.\n"};
        context = {session->user, session->workspace, QDir::cleanPath(workspace->root)};
        return {};
    }

    // Resolves the files to depot paths (request order, repetitions kept); paths outside the
    // workspace are reported in errors.
    static std::vector<std::string> Resolve(const FileList& files, const QString& root, std::string& errors)
    {
        std::vector<std::string> paths;
        for (const std::string& file : files) {
            if (auto path = ToDepotPath(file, root))
                paths.push_back(*path);
            else
                errors += file + " - file(s) not in client view.\n";
        }
        return paths;
    }

    // The change number of a changelist the context may open files in (0 for the default one).
    ServerResult ResolveChange(const std::string& changeList, const ServerContext& context, std::int64_t& number)
    {
        number = 0;
        if (changeList.empty()) return {};
        bool parsed = false;
        number = Q(changeList).toLongLong(&parsed);
        if (!parsed || number <= 0)
            return {ServerCode::kInvalidChangeList, "Invalid changelist number '" + changeList + "'.\n"};
        const auto change = m_store.Change(number);
        if (!change) return {ServerCode::kInvalidChangeList, "Change " + changeList + " unknown.\n"};
        if (change->submitted)
            return {ServerCode::kInvalidChangeList, "Change " + changeList + " is already committed.\n"};
        if (change->user != context.user)
            return {ServerCode::kInvalidChangeList,
                    "Change " + changeList + " belongs to user " + change->user + ".\n"};
        if (change->workspace != context.workspace)
            return {ServerCode::kInvalidChangeList,
                    "Change " + changeList + " belongs to client " + change->workspace + ".\n"};
        return {};
    }

    static const OpenRecord* Mine(const FileRecord& record, const ServerContext& context)
    {
        for (const OpenRecord& open : record.opened)
            if (context.IsMine(open)) return &open;
        return nullptr;
    }

    static bool OpenedByOthers(const FileRecord& record, const ServerContext& context)
    {
        for (const OpenRecord& open : record.opened)
            if (!context.IsMine(open)) return true;
        return false;
    }

    static bool LockedByOther(const FileRecord& record, const ServerContext& context)
    {
        return record.lock && !context.IsMine(*record.lock);
    }

    static std::string LockHolder(const FileRecord& record) { return record.lock->user + "@" + record.lock->workspace; }

    static bool DiskFails(const FileRecord& record, const QString& local)
    {
        return record.ioError || ServerDisk::IsUnusable(local);
    }
    static bool DiskFails(const FileRecord& record, const ServerDisk::Entry& local)
    {
        return record.ioError || ServerDisk::IsUnusable(local);
    }

    static std::string IOErrorLine(const std::string& path, const QString& local)
    {
        return Line(path, "I/O error: " + local.toStdString() + " cannot be read or changed.");
    }

    // Collects per-file refusals; the first I/O refusal makes the code an I/O error.
    struct Refusals {
        std::string text;
        bool ioError = false;

        void Add(std::string line, bool io = false)
        {
            text += line;
            ioError = ioError || io;
        }
        bool Any() const { return !text.empty(); }
        template <class R> void Fill(R& result) const
        {
            result.code = ioError ? ServerCode::kIOError : ServerCode::kFileStateRejected;
            result.text = text;
        }
    };

    // What a request that opens files may open, once every file was checked.
    struct OpenPlan {
        std::int64_t change = 0;
        std::unordered_map<std::string, FileRecord> records;
        std::vector<std::string> toOpen;
        std::vector<ServerDisk::Entry> disk; // the workspace file of each of toOpen
    };

    static std::vector<std::string> WithChange(const FileList& files, const std::string& changeList)
    {
        std::vector<std::string> arguments(files);
        arguments.push_back(changeList);
        return arguments;
    }

    // The checks every open request shares: the changelist, the paths, a workspace file that cannot be
    // used, then check(path, record, mine, local, refusals) per file, true for a file to open. False,
    // with result filled, when anything was refused: requests are all or nothing.
    template <class Check>
    bool PlanOpen(const FileList& files, const std::string& changeList, const ServerContext& context,
                  ServerResult& result, OpenPlan& plan, Check check)
    {
        if (result = ResolveChange(changeList, context, plan.change); result.Failed()) return false;
        Refusals refusals;
        std::string outside;
        const auto paths = Unique(Resolve(files, context.root, outside));
        refusals.Add(outside);
        plan.records = m_store.LoadFiles(paths, context.workspace);
        for (const std::string& path : paths) {
            const FileRecord& record = plan.records.at(path);
            ServerDisk::Entry local = ServerDisk::Inspect(context.Local(path));
            if (DiskFails(record, local)) {
                refusals.Add(IOErrorLine(path, local.path), true);
            } else if (check(path, record, Mine(record, context), local, refusals)) {
                plan.toOpen.push_back(path);
                plan.disk.push_back(std::move(local));
            }
        }
        if (!refusals.Any()) return true;
        refusals.Fill(result);
        return false;
    }

    static StatusWord Word(const FileRecord& record, const ServerContext& context, const QString& local)
    {
        StatusWord word = 0;
        const OpenRecord* mine = Mine(record, context);
        if (record.head == 0 && !(mine && mine->action == OpenAction::kAdd)) word |= kNotInDepot;
        if (record.head > 0 && record.have < record.head) word |= kNotAtHead;
        for (const OpenRecord& open : record.opened) {
            const bool own = context.IsMine(open);
            if (open.action == OpenAction::kEdit) word |= own ? kCheckedOut : kCheckedOutByOther;
            if (open.action == OpenAction::kAdd) word |= own ? kMarkedForAdd : kMarkedForAddByOther;
            if (open.action == OpenAction::kDelete) word |= own ? kMarkedForDelete : kMarkedForDeleteByOther;
        }
        if (record.lock) word |= context.IsMine(*record.lock) ? kLockedByMe : kLockedByOther;
        if (DiskFails(record, local)) word |= kIOError;
        return word;
    }

    // Puts the have revision back on disk, read-only; false when the disk refuses.
    bool Restore(const std::string& path, int have, const QString& local)
    {
        return ServerDisk::WriteReadOnly(local, m_store.ContentAt(path, have));
    }

    RevisionServer& m_owner;
    ServerStore m_store;
};

RevisionServer::RevisionServer(const QString& databasePath) : m_impl(std::make_unique<Impl>(*this, databasePath)) {}

RevisionServer::~RevisionServer() = default;

ServerResult RevisionServer::Enter(const char* operation, std::vector<std::string> arguments)
{
    m_calls.push_back({operation, std::move(arguments)});

    auto slow = m_slow.find(operation);
    if (slow == m_slow.end()) slow = m_slow.find(ServerOp::kAll);
    if (slow != m_slow.end() && slow->second > 0) {
        bool cancelled = false;
        if (qor4::ITimeOutDelegate* delegate = m_delegate) {
            // Owned by this frame, so a cancelled wait never hears of the completion later.
            QTimer timer;
            timer.setSingleShot(true);
            QObject::connect(&timer, &QTimer::timeout, [delegate] { delegate->NotifyCompletion(); });
            timer.start(slow->second);
            cancelled = delegate->WaitForCompletion();
        } else {
            QEventLoop loop;
            QTimer::singleShot(slow->second, &loop, &QEventLoop::quit);
            loop.exec();
        }
        if (cancelled) return {ServerCode::kCancelled, std::string(ServerText::kCancelled) + "\n"};
    }

    for (const std::string& name : {std::string(operation), std::string(ServerOp::kAll)}) {
        const auto fault = m_faults.find(name);
        if (fault == m_faults.end()) continue;
        const ServerResult injected{fault->second.code, fault->second.text};
        if (fault->second.once) m_faults.erase(fault);
        return injected;
    }
    return {};
}

// --- Sessions -----------------------------------------------------------------------------------

LoginResult RevisionServer::Login(const std::string& user, const std::string& password, const std::string& server,
                                  const std::string& workspace)
{
    const ServerResult entered = Enter(ServerOp::kLogin, {user, password, server, workspace});
    if (entered.Failed()) return Failure<LoginResult>(entered.code, entered.text);
    try {
        ServerStore& store = m_impl->m_store;
        ServerStore::Transaction transaction(store);
        const std::string address = ServerAddress();
        if (server != address)
            return Failure<LoginResult>(ServerCode::kLoginFailed, "Connect to server failed; check $P4PORT.\n"
                                                                  "TCP connect to " +
                                                                      server + " failed.\n");
        const auto stored = store.UserPassword(user);
        if (!stored) return Failure<LoginResult>(ServerCode::kLoginFailed, "User " + user + " doesn't exist.\n");
        if (!stored->empty() && *stored != password)
            return Failure<LoginResult>(ServerCode::kLoginFailed, std::string(ServerText::kInvalidPassword) + "\n");
        const auto record = store.Workspace(workspace);
        if (!record)
            return Failure<LoginResult>(ServerCode::kLoginFailed,
                                        "Client '" + workspace + "' unknown - use 'client' command to create it.\n");
        if (!record->owner.empty() && record->owner != user)
            return Failure<LoginResult>(ServerCode::kLoginFailed, "Client '" + workspace +
                                                                      "' can only be used by its owner '" +
                                                                      record->owner + "'.\n");
        LoginResult result;
        result.session = store.OpenSession(user, workspace);
        transaction.Commit();
        m_session = result.session;
        return result;
    } catch (const std::exception& error) {
        return Failure<LoginResult>(ServerCode::kDataBaseError, std::string(error.what()) + "\n");
    }
}

void RevisionServer::UseSession(std::int64_t session)
{
    m_session = session;
}

std::string RevisionServer::CurrentUser() const
{
    const auto session = m_impl->m_store.Session(m_session);
    return session ? session->user : std::string();
}

std::string RevisionServer::CurrentWorkspace() const
{
    const auto session = m_impl->m_store.Session(m_session);
    return session ? session->workspace : std::string();
}

bool RevisionServer::IsSessionAlive(std::int64_t session) const
{
    const auto record = m_impl->m_store.Session(session);
    return record && !record->expired;
}

void RevisionServer::ExpireSession()
{
    m_impl->m_store.ExpireSession(m_session);
}

// --- Opening files --------------------------------------------------------------------------------

ServerResult RevisionServer::Edit(const FileList& files, const std::string& changeList)
{
    return m_impl->Run<ServerResult>(
        ServerOp::kEdit, Impl::WithChange(files, changeList), [&](const ServerContext& context, ServerResult& result) {
            Impl::OpenPlan plan;
            const auto check = [&](const std::string& path, const FileRecord& record, const OpenRecord* mine,
                                   const ServerDisk::Entry&, Impl::Refusals& refusals) {
                if (mine && mine->action == OpenAction::kEdit) {
                    return false;
                } else if (mine) {
                    refusals.Add(Line(path, "can't edit (already opened for " + mine->action + ")"));
                } else if (record.head == 0) {
                    refusals.Add(Line(path, "no such file(s)."));
                } else if (record.have == 0) {
                    refusals.Add(Line(path, "file(s) not on client."));
                } else if (record.have < record.head) {
                    refusals.Add(Line(path, "can't edit, must sync to head revision #" + std::to_string(record.head) +
                                                " first"));
                } else if (Impl::LockedByOther(record, context)) {
                    refusals.Add(Line(path, "locked by " + Impl::LockHolder(record)));
                } else if (record.exclusive && Impl::OpenedByOthers(record, context)) {
                    refusals.Add(Line(path, "can't edit exclusive file already opened"));
                } else {
                    return true;
                }
                return false;
            };
            if (!m_impl->PlanOpen(files, changeList, context, result, plan, check)) return;
            const std::vector<std::string>& toOpen = plan.toOpen;
            const std::vector<ServerDisk::Entry>& disk = plan.disk;
            std::vector<QString> madeWritable;
            for (std::size_t i = 0; i < toOpen.size(); ++i) {
                if (!disk[i].Exists()) continue; // opening a locally removed file is allowed
                if (!ServerDisk::SetWritable(disk[i], true)) {
                    for (const QString& done : madeWritable)
                        ServerDisk::SetWritable(done, false);
                    result = {ServerCode::kIOError, Impl::IOErrorLine(toOpen[i], disk[i].path)};
                    return;
                }
                madeWritable.push_back(disk[i].path);
            }
            m_impl->m_store.PutOpened(context.user, context.workspace, OpenAction::kEdit, plan.change, toOpen);
        });
}

ServerResult RevisionServer::Add(const FileList& files, const std::string& changeList)
{
    return m_impl->Run<ServerResult>(
        ServerOp::kAdd, Impl::WithChange(files, changeList), [&](const ServerContext& context, ServerResult& result) {
            Impl::OpenPlan plan;
            const auto check = [&](const std::string& path, const FileRecord& record, const OpenRecord* mine,
                                   const ServerDisk::Entry& local, Impl::Refusals& refusals) {
                if (mine && mine->action == OpenAction::kAdd) {
                    return false;
                } else if (record.head > 0) {
                    refusals.Add(Line(path, "can't add existing file"));
                } else if (!local.IsFile()) {
                    refusals.Add(Line(path, "can't add, " + local.path.toStdString() + " does not exist."));
                } else if (Impl::LockedByOther(record, context)) {
                    refusals.Add(Line(path, "locked by " + Impl::LockHolder(record)));
                } else {
                    return true;
                }
                return false;
            };
            if (!m_impl->PlanOpen(files, changeList, context, result, plan, check)) return;
            m_impl->m_store.PutOpened(context.user, context.workspace, OpenAction::kAdd, plan.change, plan.toOpen);
        });
}

ServerResult RevisionServer::Delete(const FileList& files, const std::string& changeList)
{
    return m_impl->Run<ServerResult>(
        ServerOp::kDelete, Impl::WithChange(files, changeList),
        [&](const ServerContext& context, ServerResult& result) {
            Impl::OpenPlan plan;
            const auto check = [&](const std::string& path, const FileRecord& record, const OpenRecord* mine,
                                   const ServerDisk::Entry&, Impl::Refusals& refusals) {
                if (mine && mine->action == OpenAction::kDelete) {
                    return false;
                } else if (mine) {
                    refusals.Add(Line(path, "can't delete (already opened for " + mine->action + ")"));
                } else if (record.head == 0 || record.have == 0) {
                    refusals.Add(Line(path, "file(s) not on client."));
                } else if (record.have < record.head) {
                    refusals.Add(Line(path, "can't delete, must sync to head revision #" + std::to_string(record.head) +
                                                " first"));
                } else if (Impl::LockedByOther(record, context)) {
                    refusals.Add(Line(path, "locked by " + Impl::LockHolder(record)));
                } else if (record.exclusive && Impl::OpenedByOthers(record, context)) {
                    refusals.Add(Line(path, "can't delete exclusive file already opened"));
                } else {
                    return true;
                }
                return false;
            };
            if (!m_impl->PlanOpen(files, changeList, context, result, plan, check)) return;
            const std::vector<std::string>& toOpen = plan.toOpen;
            for (std::size_t i = 0; i < toOpen.size(); ++i) {
                if (!ServerDisk::Remove(plan.disk[i].path)) {
                    // Files removed before this one come back from their have revision.
                    for (std::size_t done = 0; done < i; ++done)
                        m_impl->Restore(toOpen[done], plan.records.at(toOpen[done]).have, plan.disk[done].path);
                    result = {ServerCode::kIOError, Impl::IOErrorLine(toOpen[i], plan.disk[i].path)};
                    return;
                }
            }
            m_impl->m_store.PutOpened(context.user, context.workspace, OpenAction::kDelete, plan.change, toOpen);
        });
}

ServerResult RevisionServer::Revert(const FileList& files)
{
    return m_impl->Run<ServerResult>(ServerOp::kRevert, files, [&](const ServerContext& context, ServerResult& result) {
        Impl::Refusals refusals;
        std::string outside;
        const auto paths = Unique(Impl::Resolve(files, context.root, outside));
        refusals.Add(outside);
        const auto records = m_impl->m_store.LoadFiles(paths, context.workspace);
        for (const std::string& path : paths) {
            const FileRecord& record = records.at(path);
            const OpenRecord* mine = Impl::Mine(record, context);
            if (!mine)
                refusals.Add(Line(path, "file(s) not opened on this client."));
            else if (mine->action != OpenAction::kAdd && Impl::DiskFails(record, context.Local(path)))
                refusals.Add(Impl::IOErrorLine(path, context.Local(path)), true);
        }
        if (refusals.Any()) return refusals.Fill(result);
        for (const std::string& path : paths) {
            const FileRecord& record = records.at(path);
            if (Impl::Mine(record, context)->action == OpenAction::kAdd) continue;
            if (!m_impl->Restore(path, record.have, context.Local(path))) {
                result = {ServerCode::kIOError, Impl::IOErrorLine(path, context.Local(path))};
                return;
            }
        }
        m_impl->m_store.RemoveOpened(context.user, context.workspace, paths);
        m_impl->m_store.RemoveLocks(context.user, context.workspace, paths);
    });
}

ServerResult RevisionServer::MakeWritable(const FileList& files)
{
    return m_impl->Run<ServerResult>(
        ServerOp::kMakeWritable, files, [&](const ServerContext& context, ServerResult& result) {
            Impl::Refusals refusals;
            std::string outside;
            const auto paths = Unique(Impl::Resolve(files, context.root, outside));
            refusals.Add(outside);
            const auto records = m_impl->m_store.LoadFiles(paths, context.workspace);
            for (const std::string& path : paths) {
                const QString local = context.Local(path);
                if (Impl::DiskFails(records.at(path), local))
                    refusals.Add(Impl::IOErrorLine(path, local), true);
                else if (!ServerDisk::IsFile(local))
                    refusals.Add(Line(path, "no such file " + local.toStdString() + "."));
            }
            if (refusals.Any()) return refusals.Fill(result);
            for (const std::string& path : paths) {
                if (!ServerDisk::SetWritable(context.Local(path), true)) {
                    result = {ServerCode::kIOError, Impl::IOErrorLine(path, context.Local(path))};
                    return;
                }
            }
        });
}

ServerResult RevisionServer::Sync(const FileList& files)
{
    return m_impl->Run<ServerResult>(ServerOp::kSync, files, [&](const ServerContext& context, ServerResult& result) {
        Impl::Refusals refusals;
        std::string outside;
        const auto paths = Unique(Impl::Resolve(files, context.root, outside));
        refusals.Add(outside);
        const auto records = m_impl->m_store.LoadFiles(paths, context.workspace);
        for (const std::string& path : paths) {
            const FileRecord& record = records.at(path);
            if (Impl::DiskFails(record, context.Local(path)))
                refusals.Add(Impl::IOErrorLine(path, context.Local(path)), true);
            else if (record.head == 0)
                refusals.Add(Line(path, "no such file(s)."));
            else if (Impl::Mine(record, context))
                refusals.Add(Line(path, "is opened on this client and can't be replaced."));
        }
        if (refusals.Any()) return refusals.Fill(result);
        std::vector<std::pair<std::string, int>> haves;
        for (const std::string& path : paths) {
            const FileRecord& record = records.at(path);
            const QString local = context.Local(path);
            if (record.have == record.head && ServerDisk::IsFile(local)) continue;
            if (!m_impl->Restore(path, record.head, local)) {
                result = {ServerCode::kIOError, Impl::IOErrorLine(path, local)};
                return;
            }
            haves.emplace_back(path, record.head);
        }
        m_impl->m_store.SetHave(context.workspace, haves);
    });
}

ServerResult RevisionServer::Lock(const FileList& files)
{
    return m_impl->Run<ServerResult>(ServerOp::kLock, files, [&](const ServerContext& context, ServerResult& result) {
        Impl::Refusals refusals;
        std::string outside;
        const auto paths = Unique(Impl::Resolve(files, context.root, outside));
        refusals.Add(outside);
        const auto records = m_impl->m_store.LoadFiles(paths, context.workspace);
        for (const std::string& path : paths) {
            const FileRecord& record = records.at(path);
            if (!Impl::Mine(record, context))
                refusals.Add(Line(path, "file(s) not opened on this client."));
            else if (Impl::LockedByOther(record, context))
                refusals.Add(Line(path, "already locked by " + Impl::LockHolder(record)));
        }
        if (refusals.Any()) return refusals.Fill(result);
        m_impl->m_store.PutLock(context.user, context.workspace, paths);
    });
}

// --- Queries --------------------------------------------------------------------------------------

StatusResult RevisionServer::Status(const FileList& files)
{
    return m_impl->Run<StatusResult>(ServerOp::kStatus, files, [&](const ServerContext& context, StatusResult& result) {
        std::vector<std::optional<std::string>> paths;
        std::vector<std::string> known;
        for (const std::string& file : files) {
            paths.push_back(ToDepotPath(file, context.root));
            if (paths.back()) known.push_back(*paths.back());
        }
        const auto records = m_impl->m_store.LoadFiles(Unique(known), context.workspace);
        result.words.reserve(files.size());
        result.changeLists.reserve(files.size());
        for (const auto& path : paths) {
            if (!path) { // outside the workspace: the server cannot know it
                result.words.push_back(kNotInDepot);
                result.changeLists.emplace_back();
                continue;
            }
            const FileRecord& record = records.at(*path);
            result.words.push_back(Impl::Word(record, context, context.Local(*path)));
            const OpenRecord* mine = Impl::Mine(record, context);
            result.changeLists.push_back(mine && mine->change != 0 ? std::to_string(mine->change) : std::string());
        }
    });
}

UsersResult RevisionServer::Users(const FileList& files, bool includeLocks)
{
    std::vector<std::string> arguments(files);
    arguments.emplace_back(includeLocks ? "locks" : "");
    return m_impl->Run<UsersResult>(
        ServerOp::kUsers, arguments, [&](const ServerContext& context, UsersResult& result) {
            std::string outside;
            const auto paths = Impl::Resolve(files, context.root, outside);
            const auto records = m_impl->m_store.LoadFiles(Unique(paths), context.workspace);
            for (const std::string& path : paths) {
                const FileRecord& record = records.at(path);
                std::set<std::string> holders;
                for (const OpenRecord& open : record.opened)
                    if (!context.IsMine(open)) holders.insert(open.user);
                if (includeLocks && Impl::LockedByOther(record, context)) holders.insert(record.lock->user);
                result.users.insert(result.users.end(), holders.begin(), holders.end());
            }
        });
}

// --- Changelists ----------------------------------------------------------------------------------

ChangeListResult RevisionServer::CreateChangeList(const std::string& description)
{
    return m_impl->Run<ChangeListResult>(
        ServerOp::kCreateChangeList, {description}, [&](const ServerContext& context, ChangeListResult& result) {
            result.changeList =
                std::to_string(m_impl->m_store.CreateChange(context.user, context.workspace, description, false));
        });
}

ChangeListsResult RevisionServer::PendingChangeLists()
{
    return m_impl->Run<ChangeListsResult>(
        ServerOp::kPendingChangeLists, {}, [&](const ServerContext& context, ChangeListsResult& result) {
            for (std::int64_t number : m_impl->m_store.PendingChanges(context.user, context.workspace))
                result.changeLists.push_back(std::to_string(number));
        });
}

DescriptionResult RevisionServer::ChangeListDescription(const std::string& changeList)
{
    return m_impl->Run<DescriptionResult>(
        ServerOp::kChangeListDescription, {changeList}, [&](const ServerContext&, DescriptionResult& result) {
            if (changeList.empty()) return;
            bool parsed = false;
            const std::int64_t number = Q(changeList).toLongLong(&parsed);
            const auto change = parsed ? m_impl->m_store.Change(number) : std::nullopt;
            if (!change) {
                result.code = ServerCode::kInvalidChangeList;
                result.text = "Change " + changeList + " unknown.\n";
                return;
            }
            result.description = change->description;
        });
}

bool RevisionServer::IsChangeListValid(const std::string& changeList)
{
    const ServerResult result = m_impl->Run<ServerResult>(
        ServerOp::kIsChangeListValid, {changeList}, [&](const ServerContext& context, ServerResult& answer) {
            std::int64_t number = 0;
            answer = m_impl->ResolveChange(changeList, context, number);
        });
    return result.Succeeded();
}

ChangeListResult RevisionServer::Submit(const std::string& changeList)
{
    return m_impl->Run<ChangeListResult>(
        ServerOp::kSubmit, {changeList}, [&](const ServerContext& context, ChangeListResult& result) {
            std::int64_t change = 0;
            if (const ServerResult valid = m_impl->ResolveChange(changeList, context, change); valid.Failed()) {
                result.code = valid.code;
                result.text = valid.text;
                return;
            }
            ServerStore& store = m_impl->m_store;
            const auto opened = store.OpenedIn(context.user, context.workspace, change);
            if (opened.empty()) {
                result.code = ServerCode::kNothingToSubmit;
                result.text = changeList.empty() ? "No files to submit from the default changelist.\n"
                                                 : "No files to submit from changelist " + changeList + ".\n";
                return;
            }
            std::vector<std::string> paths;
            for (const auto& entry : opened)
                paths.push_back(entry.first);
            const auto records = store.LoadFiles(paths, context.workspace);
            Impl::Refusals refusals;
            std::map<std::string, std::string> contents;
            for (const auto& [path, action] : opened) {
                const FileRecord& record = records.at(path);
                if (Impl::LockedByOther(record, context)) {
                    refusals.Add(Line(path, "locked by " + Impl::LockHolder(record)));
                } else if (action == OpenAction::kAdd && record.head > 0) {
                    refusals.Add(Line(path, "can't add existing file"));
                } else if (action != OpenAction::kAdd && record.have < record.head) {
                    refusals.Add(
                        Line(path, "must sync/resolve #" + std::to_string(record.head) + " before submitting"));
                } else if (action != OpenAction::kDelete) {
                    const auto content = ServerDisk::Read(context.Local(path));
                    if (!content || Impl::DiskFails(record, context.Local(path)))
                        refusals.Add(Impl::IOErrorLine(path, context.Local(path)), true);
                    else
                        contents[path] = *content;
                }
            }
            if (refusals.Any()) return refusals.Fill(result);
            std::vector<std::pair<std::string, int>> haves;
            for (const auto& [path, action] : opened) {
                const FileRecord& record = records.at(path);
                if (action == OpenAction::kDelete) {
                    store.RemoveDepotFile(path);
                    continue;
                }
                const int revision = record.head + 1;
                store.PutDepotFile(path, revision, action == OpenAction::kAdd ? true : record.exclusive);
                store.PutRevision(path, revision, contents[path]);
                haves.emplace_back(path, revision);
                ServerDisk::SetWritable(context.Local(path), false);
            }
            store.SetHave(context.workspace, haves);
            store.RemoveOpened(context.user, context.workspace, paths);
            store.RemoveLocks(context.user, context.workspace, paths);
            if (change == 0)
                change = store.CreateChange(context.user, context.workspace, "", true);
            else
                store.MarkSubmitted(change);
            result.changeList = std::to_string(change);
        });
}

// --- Seeding ----------------------------------------------------------------------------------------

namespace {
constexpr const char* kServerAddressKey = "server.address";
}

void RevisionServer::SetServerAddress(const std::string& address)
{
    m_impl->m_store.SetConfig(kServerAddressKey, address);
}

std::string RevisionServer::ServerAddress() const
{
    const std::string address = m_impl->m_store.Config(kServerAddressKey);
    return address.empty() ? kDefaultServerAddress : address;
}

void RevisionServer::AddUser(const std::string& name, const std::string& password)
{
    m_impl->m_store.AddUser(name, password);
}

void RevisionServer::AddWorkspace(const std::string& name, const QString& root, const std::string& owner)
{
    m_impl->m_store.AddWorkspace(name, QDir::cleanPath(QDir(root).absolutePath()), owner);
}

QString RevisionServer::WorkspaceRoot(const std::string& workspace) const
{
    const auto record = m_impl->m_store.Workspace(workspace);
    return record ? record->root : QString();
}

// Controls name files by depot path, or by an absolute path inside any workspace.
static std::string ControlPath(ServerStore& store, const std::string& file)
{
    if (auto path = ToDepotPath(file, QString())) return *path;
    for (const auto& [name, root] : store.WorkspaceRoots())
        if (auto path = ToDepotPath(file, QDir::cleanPath(root))) return *path;
    throw std::invalid_argument(file + " - file(s) not in client view.");
}

QString RevisionServer::LocalPath(const std::string& workspace, const std::string& depotPath) const
{
    return WorkspaceRoot(workspace) + QLatin1Char('/') + Q(ControlPath(m_impl->m_store, depotPath));
}

void RevisionServer::AddDepotFile(const std::string& depotPath, int headRevision, const std::string& content,
                                  bool exclusive)
{
    ServerStore& store = m_impl->m_store;
    ServerStore::Transaction transaction(store);
    const std::string path = ControlPath(store, depotPath);
    store.PutDepotFile(path, headRevision, exclusive);
    store.PutRevision(path, headRevision, content);
    transaction.Commit();
}

void RevisionServer::CheckInWorkspaceFile(const std::string& workspace, const std::string& depotPath,
                                          const std::string& content, bool exclusive)
{
    ServerStore& store = m_impl->m_store;
    ServerStore::Transaction transaction(store);
    const std::string path = ControlPath(store, depotPath);
    const int revision = store.LoadFiles({path}, workspace).at(path).head + 1;
    store.PutDepotFile(path, revision, exclusive);
    store.PutRevision(path, revision, content);
    store.SetHave(workspace, {{path, revision}});
    const QString local = LocalPath(workspace, path);
    if (!ServerDisk::WriteReadOnly(local, content)) throw std::runtime_error("cannot write " + local.toStdString());
    transaction.Commit();
}

void RevisionServer::SetHeadRevision(const std::string& depotPath, int headRevision)
{
    m_impl->m_store.SetHead(ControlPath(m_impl->m_store, depotPath), headRevision);
}

void RevisionServer::SetExclusive(const std::string& depotPath, bool exclusive)
{
    m_impl->m_store.SetExclusive(ControlPath(m_impl->m_store, depotPath), exclusive);
}

void RevisionServer::SetIOError(const std::string& depotPath, bool failing)
{
    m_impl->m_store.SetIOError(ControlPath(m_impl->m_store, depotPath), failing);
}

int RevisionServer::HeadRevision(const std::string& depotPath) const
{
    const std::string path = ControlPath(m_impl->m_store, depotPath);
    return m_impl->m_store.LoadFiles({path}, std::string()).at(path).head;
}

int RevisionServer::HaveRevision(const std::string& workspace, const std::string& depotPath) const
{
    const std::string path = ControlPath(m_impl->m_store, depotPath);
    return m_impl->m_store.LoadFiles({path}, workspace).at(path).have;
}

// --- Acting as other users ------------------------------------------------------------------------

namespace {

// Opens a file for another user; lenient, refusing only what the depot cannot represent.
ServerResult OpenAs(ServerStore& store, const std::string& user, const std::string& file, const std::string& changeList,
                    const std::string& workspace, const char* action)
{
    try {
        ServerStore::Transaction transaction(store);
        if (!store.UserPassword(user)) return {ServerCode::kLoginFailed, "User " + user + " doesn't exist.\n"};
        const std::string path = ControlPath(store, file);
        const std::string client = DefaultWorkspace(user, workspace);
        const FileRecord record = store.LoadFiles({path}, client).at(path);
        const bool adding = std::string(action) == OpenAction::kAdd;
        if (adding && record.head > 0) return {ServerCode::kFileStateRejected, Line(path, "can't add existing file")};
        if (!adding && record.head == 0) return {ServerCode::kFileStateRejected, Line(path, "no such file(s).")};
        bool parsed = changeList.empty();
        const std::int64_t change = parsed ? 0 : Q(changeList).toLongLong(&parsed);
        if (!parsed || (change != 0 && !store.Change(change)))
            return {ServerCode::kInvalidChangeList, "Change " + changeList + " unknown.\n"};
        store.PutOpened(user, client, action, change, {path});
        transaction.Commit();
        return {};
    } catch (const std::exception& error) {
        return {ServerCode::kDataBaseError, std::string(error.what()) + "\n"};
    }
}

} // namespace

ServerResult RevisionServer::OpenForEditAs(const std::string& user, const std::string& depotPath,
                                           const std::string& changeList, const std::string& workspace)
{
    return OpenAs(m_impl->m_store, user, depotPath, changeList, workspace, OpenAction::kEdit);
}

ServerResult RevisionServer::MarkForAddAs(const std::string& user, const std::string& depotPath,
                                          const std::string& changeList, const std::string& workspace)
{
    return OpenAs(m_impl->m_store, user, depotPath, changeList, workspace, OpenAction::kAdd);
}

ServerResult RevisionServer::MarkForDeleteAs(const std::string& user, const std::string& depotPath,
                                             const std::string& changeList, const std::string& workspace)
{
    return OpenAs(m_impl->m_store, user, depotPath, changeList, workspace, OpenAction::kDelete);
}

ServerResult RevisionServer::LockAs(const std::string& user, const std::string& depotPath, const std::string& workspace)
{
    try {
        ServerStore& store = m_impl->m_store;
        if (!store.UserPassword(user)) return {ServerCode::kLoginFailed, "User " + user + " doesn't exist.\n"};
        store.PutLock(user, DefaultWorkspace(user, workspace), {ControlPath(store, depotPath)});
        return {};
    } catch (const std::exception& error) {
        return {ServerCode::kDataBaseError, std::string(error.what()) + "\n"};
    }
}

ServerResult RevisionServer::SubmitAs(const std::string& user, const std::string& depotPath, const std::string& content)
{
    try {
        ServerStore& store = m_impl->m_store;
        ServerStore::Transaction transaction(store);
        if (!store.UserPassword(user)) return {ServerCode::kLoginFailed, "User " + user + " doesn't exist.\n"};
        const std::string path = ControlPath(store, depotPath);
        const std::string client = DefaultWorkspace(user, "");
        const FileRecord record = store.LoadFiles({path}, client).at(path);
        const int revision = record.head + 1;
        store.PutDepotFile(path, revision, record.head == 0 || record.exclusive);
        store.PutRevision(path, revision, content);
        store.SetHave(client, {{path, revision}});
        store.RemoveOpened(user, client, {path});
        store.RemoveLocks(user, client, {path});
        store.CreateChange(user, client, "", true);
        transaction.Commit();
        return {};
    } catch (const std::exception& error) {
        return {ServerCode::kDataBaseError, std::string(error.what()) + "\n"};
    }
}

ChangeListResult RevisionServer::CreateChangeListAs(const std::string& user, const std::string& description,
                                                    const std::string& workspace)
{
    ChangeListResult result;
    try {
        result.changeList =
            std::to_string(m_impl->m_store.CreateChange(user, DefaultWorkspace(user, workspace), description, false));
    } catch (const std::exception& error) {
        result.code = ServerCode::kDataBaseError;
        result.text = std::string(error.what()) + "\n";
    }
    return result;
}

// --- Test controls ----------------------------------------------------------------------------------

void RevisionServer::FailNext(const std::string& operation, std::int32_t code, const std::string& text)
{
    m_faults.emplace(operation, Fault{code, text, true});
}

void RevisionServer::FailAlways(const std::string& operation, std::int32_t code, const std::string& text)
{
    m_faults.emplace(operation, Fault{code, text, false});
}

void RevisionServer::ClearFaults()
{
    m_faults.clear();
}

void RevisionServer::SetSlow(const std::string& operation, int milliseconds)
{
    if (milliseconds > 0)
        m_slow[operation] = milliseconds;
    else
        m_slow.erase(operation);
}

} // namespace standin
