// Journal: what one simulated user did and was told, one line per operation, written through at
// once so that a user killed with SIGKILL leaves every finished line behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace load {

// Operation names of the journal.
namespace Op {
constexpr const char* kCheckOut = "checkout";
constexpr const char* kSubmitBegin = "submit-begin"; // written before the submit is sent
constexpr const char* kSubmit = "submit";
constexpr const char* kSettle = "settle"; // what the status after an unknown submit said
constexpr const char* kRevert = "revert";
constexpr const char* kAdd = "add";
constexpr const char* kDelete = "delete";
constexpr const char* kStatus = "status";
constexpr const char* kUpdate = "update";
} // namespace Op

struct Entry {
    std::int64_t begin = 0; // microseconds of the system's steady clock, shared by the processes
    std::int64_t end = 0;
    std::string user;
    std::string op;
    std::int32_t code = 0;
    long revision = 0;
    std::string token; // the content a submit committed, or that a settle judged
    std::vector<std::string> files;
    std::string text; // the backend's words, one line
};

std::int64_t Now();

class Journal {
public:
    explicit Journal(const std::string& path);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    bool Write(const Entry& entry);

private:
    int m_descriptor = -1;
};

std::vector<Entry> ReadJournal(const std::string& path);

} // namespace load
