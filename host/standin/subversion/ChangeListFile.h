// ChangeListFile: the numbers and descriptions of a working copy's pending changelists.
//
// Subversion's changelists are only names; the host numbers its changelists and gives each a
// description. Both are kept in a small JSON file beside the working copy's admin data, outside
// version control, so that every process using the working copy sees the same changelists. Changes
// are made under an exclusive lock on a file beside it that every process takes; a file that is not
// what this class writes is reported as damaged, never reset.
#pragma once

#include <map>
#include <string>

namespace standin::svn {

class ChangeListFile {
public:
    static constexpr const char* kFileName = "zr-changelists.json";
    // The largest changelist number: names are at most nine digits. A file holding a number past it
    // is damaged; numbers are handed out below it.
    static constexpr long kLargestNumber = 999'999'999;

    // workingCopy: the working copy's root; the file lives in its ".svn" folder.
    explicit ChangeListFile(const std::string& workingCopy);

    // The pending changelists by number. False (with the reason) when the file cannot be read.
    bool Load(std::map<long, std::string>& pending, std::string& error) const;
    // Adds a changelist with the next number; false (with the reason) when it cannot be stored.
    bool Create(const std::string& description, long& number, std::string& error) const;
    // Forgets a submitted changelist.
    bool Remove(long number, std::string& error) const;

    // The number a changelist name stands for, or 0 for anything but a positive decimal number up to
    // kLargestNumber.
    static long NumberOf(const std::string& changeList);

private:
    class Lock;
    bool Read(long& next, std::map<long, std::string>& pending, std::string& error) const;
    bool Write(long next, const std::map<long, std::string>& pending, std::string& error) const;

    std::string m_path;
};

} // namespace standin::svn
