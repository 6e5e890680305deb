// An identifier of one working copy that means nothing outside it: random, made on first use and
// kept in the working copy's administrative area, so that every session in the same copy finds
// the same one. It tells this copy's locks from the user's others (their comment carries it) without
// showing every user of the repository where the copy lies.
#pragma once

#include <string>

namespace standin::svn {

class WorkingCopyId {
public:
    // The file under the administrative folder that keeps it.
    static constexpr const char* kFileName = "zr-working-copy-id";
    static constexpr std::size_t kLength = 32; // hexadecimal digits

    // The id of the working copy whose root is root; when it can be neither read nor kept there (an
    // administrative folder that may not be written), a new random one that lasts as long as the
    // caller keeps it.
    static std::string Of(const std::string& root);
    // Whether text has the form of an id (so that nothing else, controls included, passes for one).
    static bool IsValid(const std::string& text);
};

} // namespace standin::svn
