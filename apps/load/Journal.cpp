#include "Journal.h"

#include <chrono>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace load {

namespace {
constexpr char kField = '\t';
constexpr char kListSeparator = '|';

std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\t' || c == '\r') c = ' ';
    return text;
}
} // namespace

std::int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Journal::Journal(const std::string& path)
    : m_descriptor(open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644))
{
}

Journal::~Journal()
{
    if (m_descriptor >= 0) close(m_descriptor);
}

bool Journal::Write(const Entry& entry)
{
    std::string files;
    for (const std::string& file : entry.files)
        files += (files.empty() ? "" : std::string(1, kListSeparator)) + file;
    std::ostringstream line;
    line << entry.begin << kField << entry.end << kField << entry.user << kField << entry.op << kField << entry.code
         << kField << entry.revision << kField << entry.token << kField << files << kField << OneLine(entry.text)
         << '\n';
    const std::string text = line.str();
    // One write of a whole line with O_APPEND: a kill leaves whole lines only.
    return m_descriptor >= 0 && write(m_descriptor, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

std::vector<Entry> ReadJournal(const std::string& path)
{
    std::vector<Entry> entries;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        std::string field;
        while (std::getline(split, field, kField))
            fields.push_back(field);
        if (fields.size() < 8) continue;
        Entry entry;
        entry.begin = std::stoll(fields[0]);
        entry.end = std::stoll(fields[1]);
        entry.user = fields[2];
        entry.op = fields[3];
        entry.code = std::stoi(fields[4]);
        entry.revision = std::stol(fields[5]);
        entry.token = fields[6];
        std::istringstream list(fields[7]);
        while (std::getline(list, field, kListSeparator))
            if (!field.empty()) entry.files.push_back(field);
        if (fields.size() > 8) entry.text = fields[8];
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace load
