// A fresh in-memory depot with a logged-in user "me" in workspace "me-ws" under a temporary folder,
// and the other users "bob" and "carol" (carol has a password).
#pragma once

#include "RevisionServer.h"
#include "qor4/IFileVersionControl.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace standin::test {

constexpr const char* kMe = "me";
constexpr const char* kWorkspace = "me-ws";
constexpr const char* kBob = "bob";
constexpr const char* kCarol = "carol";
constexpr const char* kCarolPassword = "secret";
constexpr const char* kServer = RevisionServer::kDefaultServerAddress;

// Waits in a nested loop like the plug-in's progress box; cancels after cancelAfterMs when set.
class TestDelegate final : public qor4::ITimeOutDelegate {
public:
    explicit TestDelegate(int cancelAfterMs = -1) : m_cancelAfter(cancelAfterMs) {}
    void NotifyCompletion() override
    {
        ++notified;
        m_loop.exit(0);
    }
    bool WaitForCompletion() override
    {
        ++waits;
        if (m_cancelAfter >= 0) QTimer::singleShot(m_cancelAfter, &m_loop, [this] { m_loop.exit(1); });
        return m_loop.exec() == 1;
    }
    int waits = 0;
    int notified = 0;

private:
    int m_cancelAfter;
    QEventLoop m_loop;
};

class ServerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        server = std::make_unique<RevisionServer>(QStringLiteral(":memory:"));
        Seed(*server);
        ASSERT_TRUE(server->Login(kMe, "", kServer, kWorkspace).Succeeded());
        server->ClearCalls();
    }

    void Seed(RevisionServer& target)
    {
        target.AddUser(kMe);
        target.AddUser(kBob);
        target.AddUser(kCarol, kCarolPassword);
        target.AddWorkspace(kWorkspace, m_dir.path() + QStringLiteral("/me"));
    }

    QString Local(const std::string& path) const { return server->LocalPath(kWorkspace, path); }
    std::string Abs(const std::string& path) const { return Local(path).toStdString(); }
    static bool IsReadOnly(const QString& path) { return !(QFile::permissions(path) & QFileDevice::WriteOwner); }
    static std::string Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("<missing>");
    }
    static void Write(const QString& path, const std::string& content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content.c_str());
    }
    qor4::StatusWord Word(const std::string& path) { return server->Status({path}).words.at(0); }
    void CheckIn(const std::string& path, const std::string& content = "v1")
    {
        server->CheckInWorkspaceFile(kWorkspace, path, content);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<RevisionServer> server;
};

} // namespace standin::test
