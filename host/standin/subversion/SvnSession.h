// Session: one login of the Subversion backend: its client (credentials, configuration), the
// working copy and servers it works with, and what it still has to settle.
#pragma once

#include "revisioncontrol/RevisionBackend.h"
#include "subversion/ChangeListFile.h"
#include "subversion/DeadlineWatch.h"
#include "subversion/SvnClient.h"
#include "subversion/SvnError.h"

#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace standin::svn {

class Call;

struct Session {
    std::unique_ptr<Client> client;
    std::string user;        // whose session it is, as the login named them
    std::string server;      // the repository URL, canonical
    std::string workingCopy; // the working copy's root, canonical
    std::string rootUrl;     // the working copy's root's URL
    std::string copyId;      // the working copy's WorkingCopyId
    // Behind a replica: its master, and the working copy's root as the master names it.
    std::string lockServer;
    std::string lockRoot;
    std::unique_ptr<ChangeListFile> changeLists;
    std::chrono::steady_clock::time_point expiresAt;
    // Ends the client when the session expires while no call runs.
    DeadlineWatch::Ticket expiry = 0;
    bool rejected = false;             // the server refused the password
    bool staleWorkingCopyLock = false; // the last operation met a lock left by a client that died
    // Files whose lock request was abandoned (deadline, Cancel, a broken connection) before its
    // answer came: the server may still take the lock, for a user who was told it failed. Released
    // when seen, until the time given.
    std::map<std::string, std::chrono::steady_clock::time_point> abandonedLocks;
    // What became of a submit whose answer was lost, found since the last result that told it.
    std::string settled;
    // The record of a submit that landed but that the working copy could not record; and of one
    // whose settling waits for the working copy to be writable again, told already.
    std::string unrecordedSubmit;
    std::string waitingSubmit;
    // When a call last went without the server's answer (0: never): until some time after, a
    // commit the server took may still land.
    std::time_t silentAt = 0;

    bool Alive() const { return !rejected && std::chrono::steady_clock::now() < expiresAt; }
    // The comment of the locks this working copy takes, which tells them from the user's others:
    // every user of the repository reads it, so it names no local path.
    std::string LockComment() const { return "Checked out in working copy " + copyId; }
    // The URL the locks are kept at: the master's behind a replica, else the working copy's root.
    const std::string& LockUrl() const { return lockRoot.empty() ? rootUrl : lockRoot; }
    // Subversion's cleanup of the working copy, breaking the locks a client that died left.
    Error CleanUp();
    // Starts call's work in this session: the client's deadline and the call's watch armed, from now,
    // put off while the server shows progress; the administrative area's temporary folder made
    // again if it went.
    void Begin(Call& call);
    // A file given as Subversion spells it and inside the working copy.
    bool HoldsAsGiven(const std::string& file) const;
    // Canonical paths of the files; those outside the working copy are refused in refusals, and
    // kept (when given) tells which files were kept.
    FileList Canonical(const FileList& files, std::string& refusals, std::vector<bool>* kept = nullptr) const;
};

// path lies below folder.
bool IsInside(const std::string& path, const std::string& folder);
// path as Subversion spells it (no "." or ".." part, no doubled or trailing slash): Subversion ends
// the whole program on any other spelling.
std::string NormalPath(const std::string& path);

} // namespace standin::svn
