#include "RemoteCases.h"

#include "BenchCases.h"

#include <QFile>

#include <chrono>

namespace {

constexpr const char* kDescription = "bench: over a link";

void Append(const std::vector<std::string>& files, int round)
{
    for (const std::string& file : files) {
        QFile out(QString::fromStdString(file));
        QFile::setPermissions(out.fileName(), out.permissions() | QFileDevice::WriteOwner);
        Require(out.open(QIODevice::Append) && out.write(QByteArray::number(round) + "\n") > 0,
                "cannot change " + file);
    }
}

} // namespace

const char* RemoteCases::kRevertFile = "remote/revert.qor";
const char* RemoteCases::kChangedFile = "remote/changed.qor";
const char* RemoteCases::kPreSaveFile = "remote/presave.qor";

QString RemoteCases::StatusFile(int i)
{
    return QStringLiteral("remote/status/d%1/f%2.qor").arg(i / BenchCases::kFilesPerFolder).arg(i);
}

QString RemoteCases::LockFile(int i)
{
    return QStringLiteral("remote/lock/l%1.qor").arg(i);
}

QString RemoteCases::SubmitFile(int i)
{
    return QStringLiteral("remote/submit/s%1.qor").arg(i);
}

RemoteCases::RemoteCases(BenchHost& host, const SvnProgram& svn, standin::DelayRelay& relay, const QDir& workingCopy,
                         const QDir& elsewhere, const standin::DelayRelay* master)
    : m_host(host), m_svn(svn), m_relay(relay), m_master(master), m_wc(workingCopy), m_elsewhere(elsewhere)
{
}

std::vector<std::string> RemoteCases::Absolute(const QStringList& relative) const
{
    std::vector<std::string> files;
    for (const QString& name : relative)
        files.push_back(m_wc.filePath(name).toStdString());
    return files;
}

LinkCost RemoteCases::Measure(const std::function<void()>& work) const
{
    const standin::DelayRelay::Counts before = m_relay.Count();
    const standin::DelayRelay::Counts masterBefore = m_master ? m_master->Count() : standin::DelayRelay::Counts{};
    const auto start = std::chrono::steady_clock::now();
    work();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const standin::DelayRelay::Counts after = m_relay.Count();
    const standin::DelayRelay::Counts masterAfter = m_master ? m_master->Count() : standin::DelayRelay::Counts{};
    return {seconds, after.turns - before.turns, after.connections - before.connections,
            masterAfter.turns - masterBefore.turns, masterAfter.connections - masterBefore.connections};
}

std::vector<RemoteResult> RemoteCases::Run(int rttMs)
{
    return {Lock(rttMs, 1),   Lock(rttMs, kManyFiles),   Status(rttMs),
            Submit(rttMs, 1), Submit(rttMs, kManyFiles), RevertLocked(rttMs),
            Update(rttMs),    PreSaveCheckOut(rttMs)};
}

RemoteResult RemoteCases::Lock(int rttMs, int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << LockFile(i);
    const std::vector<std::string> files = Absolute(names);
    standin::RevisionBackend& backend = m_host.Backend();
    RemoteResult result{"check-out (lock) " + std::to_string(count), rttMs, {}, {}};
    result.plugin = Measure([&] {
        const standin::ServerResult locked = backend.Edit(m_host.Session(), files, "");
        Require(locked.Succeeded(), "lock: " + locked.text);
    });
    const standin::ServerResult released = backend.Revert(m_host.Session(), files);
    Require(released.Succeeded(), "lock: the locks were not released: " + released.text);
    result.svn = Measure([&] { m_svn.Run(QStringList{"lock", "-q"} + names, m_wc.path()); });
    m_svn.Run(QStringList{"unlock", "-q"} + names, m_wc.path());
    return result;
}

RemoteResult RemoteCases::Status(int rttMs)
{
    QStringList names;
    for (int i = 0; i < kStatusFiles; ++i)
        names << StatusFile(i);
    const std::vector<std::string> files = Absolute(names);
    RemoteResult result{"status with the server, " + std::to_string(kStatusFiles) + " files", rttMs, {}, {}};
    result.plugin = Measure([&] {
        const standin::StatusResult status =
            m_host.Backend().Status(m_host.Session(), files, standin::StatusScope::kWithRepository);
        Require(status.Succeeded() && status.words.size() == files.size(), "status: " + status.text);
    });
    result.svn = Measure([&] { m_svn.Run({"status", "-u", "-q", "remote/status"}, m_wc.path()); });
    return result;
}

RemoteResult RemoteCases::Submit(int rttMs, int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << SubmitFile(i);
    const std::vector<std::string> files = Absolute(names);
    standin::RevisionBackend& backend = m_host.Backend();
    const standin::SessionId session = m_host.Session();
    const standin::ChangeListResult created = backend.CreateChangeList(session, kDescription);
    Require(created.Succeeded(), "submit: no changelist: " + created.text);
    const standin::ServerResult locked = backend.Edit(session, files, created.changeList);
    Require(locked.Succeeded(), "submit: lock: " + locked.text);
    Append(files, ++m_round);
    RemoteResult result{"submit " + std::to_string(count), rttMs, {}, {}};
    result.plugin = Measure([&] {
        const standin::ChangeListResult submitted = backend.Submit(session, created.changeList);
        Require(submitted.Succeeded() && submitted.revision > 0, "submit: " + submitted.text);
    });
    m_svn.Run(QStringList{"lock", "-q"} + names, m_wc.path());
    Append(files, ++m_round);
    result.svn = Measure([&] { m_svn.Run(QStringList{"commit", "-q", "-m", kDescription} + names, m_wc.path()); });
    return result;
}

RemoteResult RemoteCases::RevertLocked(int rttMs)
{
    const std::vector<std::string> files = Absolute({kRevertFile});
    standin::RevisionBackend& backend = m_host.Backend();
    const standin::ServerResult locked = backend.Edit(m_host.Session(), files, "");
    Require(locked.Succeeded(), "revert: lock: " + locked.text);
    Append(files, ++m_round);
    RemoteResult result{"revert of a locked file", rttMs, {}, {}};
    result.plugin = Measure([&] {
        const standin::ServerResult reverted = backend.Revert(m_host.Session(), files);
        Require(reverted.Succeeded(), "revert: " + reverted.text);
    });
    m_svn.Run({"lock", "-q", kRevertFile}, m_wc.path());
    Append(files, ++m_round);
    result.svn = Measure([&] {
        m_svn.Run({"revert", "-q", kRevertFile}, m_wc.path());
        m_svn.Run({"unlock", "-q", kRevertFile}, m_wc.path());
    });
    return result;
}

RemoteResult RemoteCases::PreSaveCheckOut(int rttMs)
{
    const std::vector<std::string> files = Absolute({kPreSaveFile});
    if (!m_preSaveAsset) {
        m_preSaveAsset = m_host.Manager().CreateAsset({"presave", files.front(), {}, true});
        // A new metadata object is dirty: every save's query finds the asset.
        m_host.Manager().AddObject(m_preSaveAsset, "presave.meta", standin::ObjectKind::Metadata);
    }
    Require(!Writable(files.front()), "pre-save: the asset is not read-only");
    RemoteResult result{"pre-save check-out of 1 read-only asset", rttMs, {}, {}};
    result.plugin = Measure([&] {
        bool cancel = true;
        m_host.Helper().OnPreSave(m_host.Library().GetAccessor(), &cancel);
        Require(!cancel && Writable(files.front()), "pre-save: the asset was not checked out");
    });
    const standin::ServerResult released = m_host.Backend().Revert(m_host.Session(), files);
    Require(released.Succeeded(), "pre-save: the lock was not released: " + released.text);
    result.svn = Measure([&] { m_svn.Run({"lock", "-q", kPreSaveFile}, m_wc.path()); });
    m_svn.Run({"unlock", "-q", kPreSaveFile}, m_wc.path());
    return result;
}

void RemoteCases::ChangeElsewhere()
{
    Append({m_elsewhere.filePath(kChangedFile).toStdString()}, ++m_round);
    m_svn.Run({"commit", "-q", "-m", "a change from elsewhere", kChangedFile}, m_elsewhere.path());
}

RemoteResult RemoteCases::Update(int rttMs)
{
    RemoteResult result{"update (one file changed)", rttMs, {}, {}};
    ChangeElsewhere();
    result.plugin = Measure([&] {
        const standin::UpdateResult updated = m_host.Backend().Update(m_host.Session(), {});
        Require(updated.Succeeded() && !updated.updated.empty(), "update: " + updated.text);
    });
    ChangeElsewhere();
    result.svn = Measure([&] { m_svn.Run({"update", "-q"}, m_wc.path()); });
    return result;
}
