#include "subversion/WorkingCopyId.h"

#include "Log/Log.h"
#include "framework/PrintableText.h"

#include <random>

#include <fcntl.h>
#include <unistd.h>

namespace standin::svn {

namespace {

constexpr const char* kAdministrativeFolder = "/.svn/";
constexpr char kHexDigits[] = "0123456789abcdef";

std::string RandomId()
{
    std::random_device random;
    std::string id;
    while (id.size() < WorkingCopyId::kLength)
        id += kHexDigits[random() % (sizeof kHexDigits - 1)];
    return id;
}

// The id in the file, or "" when there is none of the right form; links are not followed.
std::string ReadId(const std::string& file)
{
    const int descriptor = open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) return {};
    char text[WorkingCopyId::kLength + 1] = {};
    const ssize_t size = read(descriptor, text, sizeof text);
    close(descriptor);
    const std::string id(text, size > 0 ? static_cast<std::size_t>(size) : 0);
    return WorkingCopyId::IsValid(id) ? id : std::string();
}

// Writes a new id beside file and links it into place, so that a reader never sees half of it and
// of two sessions starting at once both keep the first; false when the folder may not be written.
bool KeepId(const std::string& file, const std::string& id)
{
    const std::string temporary = file + "." + RandomId();
    const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor < 0) return false;
    const bool written = write(descriptor, id.data(), id.size()) == static_cast<ssize_t>(id.size());
    const bool closed = close(descriptor) == 0;
    const bool linked = written && closed && link(temporary.c_str(), file.c_str()) == 0;
    unlink(temporary.c_str());
    return linked;
}

} // namespace

bool WorkingCopyId::IsValid(const std::string& text)
{
    return text.size() == kLength && text.find_first_not_of(kHexDigits) == std::string::npos;
}

std::string WorkingCopyId::Of(const std::string& root)
{
    const std::string file = root + kAdministrativeFolder + kFileName;
    std::string id = ReadId(file);
    if (!id.empty()) return id;
    // A damaged file is replaced; the id is nobody's but this copy's.
    if (access(file.c_str(), F_OK) == 0) unlink(file.c_str());
    id = RandomId();
    if (KeepId(file, id)) return id;
    // Another session may have kept its id first.
    const std::string kept = ReadId(file);
    if (!kept.empty()) return kept;
    Log::Singleton::Instance() << Log::MsgType::Warning
                               << "The id of the working copy " + PrintableText(root) + " cannot be kept in " +
                                      PrintableText(file) + "; its locks carry an id for this session only.";
    return id;
}

} // namespace standin::svn
