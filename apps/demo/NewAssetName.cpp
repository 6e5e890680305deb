#include "NewAssetName.h"

#include <QString>

namespace demo {

namespace {
constexpr const char* kEmpty = "A new asset needs a name.";
constexpr const char* kNotUtf8 = "The name is not valid UTF-8 text.";
constexpr const char* kSeparator = "The name of an asset is a plain name: it may not hold '/' or '\\'.";
constexpr const char* kParent = "The name of an asset is a plain name: it may not hold \"..\".";
constexpr const char* kHidden = "The name of an asset may not begin with '.'.";
constexpr const char* kControl = "The name of an asset may not hold control characters.";
} // namespace

std::string NewAssetNameProblem(const std::string& name)
{
    if (name.empty()) return kEmpty;
    const QString text = QString::fromStdString(name);
    if (text.toStdString() != name) return kNotUtf8;
    for (const QChar character : text)
        if (character.category() == QChar::Other_Control) return kControl;
    if (name.find_first_of("/\\") != std::string::npos) return kSeparator;
    if (name.find("..") != std::string::npos) return kParent;
    if (name.front() == '.') return kHidden;
    return {};
}

} // namespace demo
