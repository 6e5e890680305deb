// The name a user gives a new asset makes the names of its files in the project's folder.
#pragma once

#include <string>

namespace demo {

// Why name cannot be a new asset's; empty when it can. A plain name only: not empty, valid UTF-8,
// without a path separator, "..", a leading '.' or a control character.
std::string NewAssetNameProblem(const std::string& name);

} // namespace demo
