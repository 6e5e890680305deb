// FailureText: the words of a failure report, made from what the services answered: the reasons
// that apply (the flags of interest met in the status words, in ascending flag order), the users
// holding the files, and the lines of a failure nobody can explain.
#pragma once

#include "FailureFlags.h"

#include "qor4/qorResult.h"

#include <cstddef>
#include <functional>
#include <list>
#include <optional>
#include <set>
#include <string>
#include <vector>

class FailureText {
public:
    // The users holding an object's (or the files') locks and opens; nullopt when they could not be
    // listed.
    using Users = std::optional<std::list<std::string>>;

    // Appends to message the reason of every flag some object's state holds, and the users of the
    // first such object for each flag that names users; true when a flag matched. With none, the
    // unknown-error lines (with errorString) are appended instead. usersOf and nameOf take an
    // index into states.
    static bool ForObjects(const std::vector<qor4::StatusWord>& states, const StatusFlags& flags,
                           const std::function<Users(std::size_t)>& usersOf,
                           const std::function<std::string(std::size_t)>& nameOf, const std::string& errorString,
                           std::string& message);
    // The same for files whose status words were combined into one.
    static bool ForFiles(qor4::StatusWord combined, const StatusFlags& flags, const std::function<Users()>& users,
                         const std::string& errorString, std::string& message);
    // The state query itself failed: a lost connection (an expired session) or another failure.
    static void ForFailedQuery(qor4::qorResult result, const std::string& errorString, std::string& message);
    // The details that list the files involved.
    static std::string FilesDetails(const std::set<std::string>& files);
};
