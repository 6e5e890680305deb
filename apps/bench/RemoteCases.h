// RemoteCases: the daily operations over a link with distance. The backend's working copy points
// at a DelayRelay in front of the server; each case runs the backend's call and Subversion's
// command-line client doing the same through the relay, and reports the seconds, the relay's
// counted turns and the connections each opened.
#pragma once

#include "BenchHost.h"
#include "SvnProgram.h"

#include "testkit/DelayRelay.h"

#include <QDir>

#include <functional>
#include <string>
#include <vector>

struct LinkCost {
    double seconds = 0;
    long turns = 0;
    int connections = 0;
    // Behind a replica, what crossed to the master (the client's own questions and the replica's
    // forwarded requests); turns and connections are then the replica's.
    long masterTurns = 0;
    int masterConnections = 0;
};

struct RemoteResult {
    std::string name;
    int rttMs = 0;
    LinkCost plugin;
    LinkCost svn;
};

class RemoteCases {
public:
    static constexpr int kStatusFiles = 1000;
    static constexpr int kManyFiles = 20;

    // The repository's layout: remote/status/f<i>.qor, remote/lock/l<i>.qor, remote/submit/s<i>.qor,
    // remote/revert.qor, remote/changed.qor and remote/presave.qor.
    static QString StatusFile(int i);
    static QString LockFile(int i);
    static QString SubmitFile(int i);
    static const char* kRevertFile;
    static const char* kChangedFile;
    static const char* kPreSaveFile;

    // workingCopy: checked out through the relay; elsewhere: another working copy of the same
    // repository, straight from the server, whose commits give the update something to bring.
    // master: behind a replica, the relay in front of its master, which is counted apart.
    RemoteCases(BenchHost& host, const SvnProgram& svn, standin::DelayRelay& relay, const QDir& workingCopy,
                const QDir& elsewhere, const standin::DelayRelay* master = nullptr);

    // Every case once at the relay's current delay.
    std::vector<RemoteResult> Run(int rttMs);

private:
    LinkCost Measure(const std::function<void()>& work) const;
    RemoteResult Lock(int rttMs, int files);
    RemoteResult Status(int rttMs);
    RemoteResult Submit(int rttMs, int files);
    RemoteResult RevertLocked(int rttMs);
    // The plug-in's pre-save notification of a save that changed one read-only asset, which the
    // stored preference checks out: its status queries and its lock request.
    RemoteResult PreSaveCheckOut(int rttMs);
    RemoteResult Update(int rttMs);
    // A change to changed.qor committed from elsewhere, straight to the server.
    void ChangeElsewhere();
    std::vector<std::string> Absolute(const QStringList& relative) const;

    BenchHost& m_host;
    const SvnProgram& m_svn;
    standin::DelayRelay& m_relay;
    const standin::DelayRelay* m_master;
    QDir m_wc;
    QDir m_elsewhere;
    int m_round = 0;
    standin::DbObject* m_preSaveAsset = nullptr; // dirty from the first pre-save case on
};
