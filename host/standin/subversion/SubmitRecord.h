// SubmitRecord: the submit in flight of a working copy, kept in its administrative folder from
// before the commit starts until its outcome is known. Each submit carries a random identifier
// that the commit stores in the revision too (kRevisionProperty), so that a submit whose answer was
// lost, or whose process died, can be looked for in the repository's log later.
#pragma once

#include <string>
#include <vector>

namespace standin::svn {

struct SubmitRecord {
    static constexpr const char* kFileName = "zr-submit.json";
    static constexpr const char* kRevisionProperty = "zr:submit-id";

    std::string id;
    std::string changeList;         // "" is the default changelist
    std::vector<std::string> files; // relative to the working copy's root
    long base = 0;                  // the oldest base revision of the files when the submit began
    long long started = 0;          // when the submit began, in seconds since the epoch

    // A record with a fresh identifier.
    static SubmitRecord Begin(const std::string& changeList, std::vector<std::string> files, long base);

    // Writes the record whole (replacing any); false with the reason when it cannot.
    bool Save(const std::string& workingCopy, std::string& error) const;
    // True when a record was found and read; false with an empty error when there is none.
    static bool Load(const std::string& workingCopy, SubmitRecord& record, std::string& error);
    static void Remove(const std::string& workingCopy);
};

} // namespace standin::svn
