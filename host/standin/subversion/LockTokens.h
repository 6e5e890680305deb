// The working copy's side of a lock, as Subversion's own client keeps it once the server answered:
// the token stored with the file, and a file with svn:needs-lock made writable (and read-only again
// once the lock is released).
#pragma once

#include "subversion/SvnClient.h"
#include "subversion/SvnError.h"

#include <svn_types.h>

#include <string>

namespace standin::svn {

Error KeepToken(Client& client, const std::string& file, const svn_lock_t& lock);
// Forgets file's token once its lock is released; a file with svn:needs-lock becomes read-only.
Error DropToken(Client& client, const std::string& file);

} // namespace standin::svn
