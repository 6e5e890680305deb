// Status words: the flags the revision-control services report per object or per file.
#pragma once

#include <cstdint>

namespace qor4 {

using StatusWord = std::uint32_t;

namespace FileStatus {
constexpr StatusWord kCheckedOut = 0x1;        // opened for edit by the current user
constexpr StatusWord kCheckedOutByOther = 0x2; // opened for edit by another user
constexpr StatusWord kMarkedForAdd = 0x4;      // opened for add by the current user
constexpr StatusWord kMarkedForAddByOther = 0x8;
constexpr StatusWord kMarkedForDelete = 0x10; // opened for delete by the current user
constexpr StatusWord kMarkedForDeleteByOther = 0x20;
constexpr StatusWord kNotAtHead = 0x40;  // the workspace has an older revision
constexpr StatusWord kNotInDepot = 0x80; // unknown to the server
constexpr StatusWord kLockedByMe = 0x100;
constexpr StatusWord kIOError = 0x8000; // the file could not be read or changed on disk
constexpr StatusWord kLockedByOther = 0x20000;
} // namespace FileStatus

} // namespace qor4
