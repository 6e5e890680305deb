// The state of one SvnBackend session, shared by the backend's source files.
#pragma once

#include "ChangeListFile.h"
#include "DeadlineWatch.h"
#include "SvnBackend.h"
#include "SvnClient.h"
#include "SvnOperation.h"
#include "SvnStatusWalk.h"

#include <chrono>
#include <map>
#include <memory>
#include <string>

namespace standin {

struct SvnBackend::Session {
    std::unique_ptr<svn::Client> client;
    std::string user;        // whose session it is, as the login named them
    std::string server;      // the repository URL, canonical
    std::string workingCopy; // the working copy's root, canonical
    std::string rootUrl;     // the working copy's root's URL
    std::string copyId;      // the working copy's WorkingCopyId
    // Behind a replica: its master, and the working copy's root as the master names it.
    std::string lockServer;
    std::string lockRoot;
    std::unique_ptr<svn::ChangeListFile> changeLists;
    std::chrono::steady_clock::time_point expiresAt;
    // Ends the client when the session expires while no call runs.
    svn::DeadlineWatch::Ticket expiry = 0;
    bool rejected = false;             // the server refused the password
    bool staleWorkingCopyLock = false; // the last operation met a lock left by a client that died
    // Files whose lock request was abandoned (deadline, Cancel, a broken connection) before its
    // answer came: the server may still take the lock, for a user who was told it failed. Released
    // when seen, until the time given.
    std::map<std::string, std::chrono::steady_clock::time_point> abandonedLocks;
    // What became of a submit whose answer was lost, found since the last result that told it.
    std::string settled;

    bool Alive() const { return !rejected && std::chrono::steady_clock::now() < expiresAt; }
    // The comment of the locks this working copy takes, which tells them from the user's others:
    // every user of the repository reads it, so it names no local path.
    std::string LockComment() const { return "Checked out in working copy " + copyId; }
};

class SvnBackend::Call {
public:
    explicit Call(SvnBackend& backend)
        : m_backend(backend), m_sequence(backend.m_affinity, "Call"), m_operation(*backend.m_watch)
    {
        std::lock_guard<std::mutex> lock(backend.m_runningMutex);
        backend.m_running = &m_operation;
    }
    ~Call()
    {
        // While this call still counts as running, so that the expiry watch leaves the clients alone.
        m_backend.DropEndedClients();
        std::lock_guard<std::mutex> lock(m_backend.m_runningMutex);
        m_backend.m_running = nullptr;
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

private:
    SvnBackend& m_backend;
    ThreadAffinity::Scope m_sequence;
    svn::Operation m_operation;
};

struct SvnBackend::Plan {
    // The operation talks to the server: an interrupted submit is settled before the files are walked.
    bool reachesServer = false;
    Session* session = nullptr;
    FileList paths;
    svn::WalkResult walk;
    std::string refusals;
};

} // namespace standin
