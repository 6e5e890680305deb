#include "LoadCheck.h"

#include "revisioncontrol/RevisionBackend.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include <sys/wait.h>

namespace load {

namespace {

using standin::ServerCode::kFileStateRejected;
using standin::ServerCode::kOutcomeUnknown;
using standin::ServerCode::kPartlyDone;

struct Interval {
    std::string user;
    std::int64_t from = 0;
    std::int64_t to = 0;
};

// Runs a command; its standard output, and its exit status in status.
std::string Capture(const std::string& command, int& status)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return output;
    }
    char buffer[4096];
    std::size_t read = 0;
    while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, read);
    const int raw = pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

std::string Quoted(const std::string& text)
{
    return "'" + text + "'";
}

// Token to the revisions whose content of a file was that token.
std::map<std::string, std::set<long>> CommittedTokens(const std::string& repository, std::vector<std::string>& problems)
{
    std::map<std::string, std::set<long>> tokens;
    int status = 0;
    const long youngest = std::atol(Capture("svnlook youngest " + Quoted(repository), status).c_str());
    if (status != 0) problems.push_back("svnlook youngest failed");
    for (long revision = 1; revision <= youngest; ++revision) {
        std::istringstream changed(
            Capture("svnlook changed -r " + std::to_string(revision) + " " + Quoted(repository), status));
        std::string line;
        while (std::getline(changed, line)) {
            if (line.size() < 5 || (line[0] != 'U' && line[0] != 'A') || line.back() == '/') continue;
            const std::string path = line.substr(4);
            const std::string content = Capture(
                "svnlook cat -r " + std::to_string(revision) + " " + Quoted(repository) + " " + Quoted(path), status);
            tokens[content].insert(revision);
        }
    }
    return tokens;
}

// "... locked by user 'bob' ..." in a refusal: the holder it names, and the path.
bool NamedHolder(const std::string& text, std::string& holder, std::string& path)
{
    const std::string byUser = "by user '";
    const auto at = text.find(byUser);
    const auto pathAt = text.find("Path '/");
    if (at == std::string::npos || pathAt == std::string::npos) return false;
    holder = text.substr(at + byUser.size(), text.find('\'', at + byUser.size()) - at - byUser.size());
    path = text.substr(pathAt + 7, text.find('\'', pathAt + 7) - pathAt - 7);
    return true;
}

bool Releases(const Entry& entry)
{
    return entry.op == Op::kSubmitBegin || entry.op == Op::kSubmit || entry.op == Op::kRevert ||
           entry.op == Op::kSettle;
}

bool SurelyReleased(const Entry& entry)
{
    return (entry.op == Op::kSubmit && entry.code == 0) || (entry.op == Op::kRevert && entry.code == 0);
}

// Whether every revision that holds the content of a submit told as not done was reported by a
// later submit of the same user: a change that was not submitted stays in the working copy, and
// the user's next submit takes it along.
bool CarriedLater(const Entry& failed, const std::set<long>& revisions, const std::vector<Entry>& entries)
{
    for (const long revision : revisions) {
        const bool reported = std::any_of(entries.begin(), entries.end(), [&](const Entry& later) {
            return later.op == Op::kSubmit && later.user == failed.user && later.begin >= failed.end &&
                   later.revision == revision;
        });
        if (!reported) return false;
    }
    return true;
}

// How each submit whose answer was lost (or whose user was killed in it) was later told.
std::string Settlements(const std::vector<Entry>& entries)
{
    int submitted = 0;
    int notSubmitted = 0;
    int unsettled = 0;
    for (const Entry& entry : entries) {
        if (entry.op != Op::kSettle) continue;
        if (entry.code == 1)
            ++submitted;
        else if (entry.code == 0)
            ++notSubmitted;
        else
            ++unsettled;
    }
    char line[200];
    std::snprintf(line, sizeof line,
                  "Submits of unknown outcome (a lost answer or a kill): %d; told later as submitted: %d, as not "
                  "submitted: %d, never told: %d\n",
                  submitted + notSubmitted + unsettled, submitted, notSubmitted, unsettled);
    return line;
}

std::string Table(const std::vector<Entry>& entries, double seconds, std::size_t violations)
{
    std::map<std::string, std::vector<double>> latencies;
    std::map<std::string, int> failures;
    std::map<std::string, std::map<std::string, int>> reasons;
    for (const Entry& entry : entries) {
        if (entry.op == Op::kSubmitBegin || entry.op == Op::kSettle) continue;
        latencies[entry.op].push_back(static_cast<double>(entry.end - entry.begin) / 1000.0);
        if (entry.code == 0) continue;
        ++failures[entry.op];
        // The reason without the paths and names that make each text unique.
        std::string reason = entry.text.substr(0, 60);
        for (char& c : reason)
            if (std::isdigit(static_cast<unsigned char>(c))) c = '#';
        ++reasons[entry.op][reason];
    }
    std::size_t total = 0;
    std::ostringstream table;
    table << "| operation | count | failed | p50 (ms) | p99 (ms) |\n|---|---|---|---|---|\n";
    char line[160];
    for (auto& [op, values] : latencies) {
        std::sort(values.begin(), values.end());
        total += values.size();
        const auto at = [&values](double share) {
            return values[std::min(values.size() - 1, static_cast<std::size_t>(share * values.size()))];
        };
        std::snprintf(line, sizeof line, "| %s | %zu | %d | %.1f | %.1f |\n", op.c_str(), values.size(), failures[op],
                      at(0.5), at(0.99));
        table << line;
    }
    std::snprintf(line, sizeof line, "\n%zu operations in %.0f s: %.1f per second; violations: %zu\n", total, seconds,
                  seconds > 0 ? static_cast<double>(total) / seconds : 0.0, violations);
    table << line << Settlements(entries) << "\nMost frequent failures:\n";
    for (const auto& [op, counts] : reasons) {
        std::vector<std::pair<int, std::string>> sorted;
        for (const auto& [reason, count] : counts)
            sorted.emplace_back(count, reason);
        std::sort(sorted.rbegin(), sorted.rend());
        for (std::size_t i = 0; i < sorted.size() && i < 2; ++i)
            table << "- " << op << " (" << sorted[i].first << "): " << sorted[i].second << "...\n";
    }
    return table.str();
}

} // namespace

CheckResult Check(const CheckInput& input)
{
    CheckResult result;
    std::vector<std::string>& bad = result.violations;
    int status = 0;
    const std::string verify = Capture("svnadmin verify -q " + Quoted(input.repository) + " 2>&1", status);
    if (status != 0) bad.push_back("svnadmin verify: " + verify);
    for (const std::string& copy : input.workingCopies) {
        std::istringstream lines(Capture("svn status --non-interactive " + Quoted(copy) + " 2>&1", status));
        if (status != 0) bad.push_back("svn status of " + copy + " failed");
        std::string line;
        while (std::getline(lines, line))
            if (line.size() > 2 && line[2] == 'L') bad.push_back(copy + " is left locked: " + line);
    }

    // Per user, in time order.
    std::map<std::string, std::vector<const Entry*>> byUser;
    for (const Entry& entry : input.entries)
        byUser[entry.user].push_back(&entry);
    std::map<std::string, std::vector<Interval>> surely;   // the lock was held for all of it
    std::map<std::string, std::vector<Interval>> possibly; // the lock may have been held
    constexpr std::int64_t kForever = std::numeric_limits<std::int64_t>::max();
    for (auto& [user, entries] : byUser) {
        std::sort(entries.begin(), entries.end(), [](const Entry* a, const Entry* b) { return a->begin < b->begin; });
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Entry& taken = *entries[i];
            if (taken.op != Op::kCheckOut) continue;
            for (const std::string& file : taken.files) {
                std::int64_t firstRelease = entries.back()->end;
                std::int64_t lastRelease = kForever;
                for (std::size_t j = i + 1; j < entries.size(); ++j) {
                    const Entry& later = *entries[j];
                    const bool names = std::find(later.files.begin(), later.files.end(), file) != later.files.end();
                    if (!names || !Releases(later)) continue;
                    firstRelease = std::min(firstRelease, later.begin);
                    if (SurelyReleased(later)) {
                        lastRelease = later.end;
                        break;
                    }
                }
                if (taken.code == 0) surely[file].push_back({user, taken.end, firstRelease});
                // A refused check-out locks what it can and releases it again before it answers.
                possibly[file].push_back(
                    {user, taken.begin, taken.code == kFileStateRejected ? taken.end : lastRelease});
            }
        }
    }
    for (auto& [file, intervals] : surely)
        for (std::size_t a = 0; a < intervals.size(); ++a)
            for (std::size_t b = a + 1; b < intervals.size(); ++b)
                if (intervals[a].user != intervals[b].user && intervals[a].from < intervals[b].to &&
                    intervals[b].from < intervals[a].to)
                    bad.push_back(file + " was locked by " + intervals[a].user + " and " + intervals[b].user +
                                  " at once");

    const std::map<std::string, std::set<long>> committed = CommittedTokens(input.repository, bad);
    std::map<std::string, const Entry*> settles;
    std::set<std::string> begun;
    std::set<std::string> ended;
    for (const Entry& entry : input.entries) {
        if (entry.op == Op::kSettle) settles[entry.token] = &entry;
        if (entry.op == Op::kSubmitBegin) begun.insert(entry.token);
        if (entry.op == Op::kSubmit) ended.insert(entry.token);
    }
    for (const Entry& entry : input.entries) {
        if (entry.op == Op::kCheckOut && entry.code == kFileStateRejected) {
            std::string holder, path;
            if (!NamedHolder(entry.text, holder, path)) continue;
            bool held = false;
            for (const Interval& interval : possibly[path])
                held = held || (interval.user == holder && holder != entry.user && interval.from < entry.end &&
                                entry.begin < interval.to);
            if (!held)
                bad.push_back(entry.user + "'s check-out of " + path + " named " + holder + ", who did not hold it");
        }
        if (entry.op != Op::kSubmit) continue;
        const auto found = committed.find(entry.token);
        const bool landed = found != committed.end();
        if ((entry.code == 0 && entry.revision > 0) || (entry.code == kPartlyDone && entry.revision > 0)) {
            if (!landed || !found->second.count(entry.revision))
                bad.push_back("submit " + entry.token + " was reported as revision " + std::to_string(entry.revision) +
                              " but is not there");
        } else if (entry.code == kOutcomeUnknown) {
            const auto settle = settles.find(entry.token);
            if (settle == settles.end() || settle->second->code < 0)
                bad.push_back("submit " + entry.token + " was unknown and never settled");
            else if ((settle->second->code == 1) != landed)
                bad.push_back("submit " + entry.token + " was settled wrongly");
        } else if (entry.code != 0 && landed && !CarriedLater(entry, found->second, input.entries)) {
            bad.push_back("submit " + entry.token +
                          " was reported as not done but is in the repository: " + entry.text);
        }
    }
    // A user killed while it submitted settles at its restart.
    for (const std::string& token : begun) {
        if (ended.count(token)) continue;
        const auto settle = settles.find(token);
        if (settle == settles.end() || settle->second->code < 0)
            bad.push_back("submit " + token + " was cut off and never settled");
        else if ((settle->second->code == 1) != (committed.count(token) != 0))
            bad.push_back("cut-off submit " + token + " was settled wrongly");
    }
    result.table = Table(input.entries, input.seconds, bad.size());
    return result;
}

} // namespace load
