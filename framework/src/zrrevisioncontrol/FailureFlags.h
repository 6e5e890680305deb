// The status flags that explain a failed step, one set per step, in the order the reasons are told.
#pragma once

#include "qor4/FileStatus.h"

#include <set>

using StatusFlags = std::set<qor4::StatusWord>;

namespace FailureFlags {

using namespace qor4::FileStatus;

const StatusFlags kCheckOut{kCheckedOutByOther,      kMarkedForAdd, kMarkedForAddByOther, kMarkedForDelete,
                            kMarkedForDeleteByOther, kNotAtHead,    kNotInDepot,          kIOError,
                            kLockedByOther};
const StatusFlags kMarkForAdd{kCheckedOut, kCheckedOutByOther, kMarkedForAddByOther, kMarkedForDeleteByOther,
                              kIOError,    kLockedByOther};
const StatusFlags kMarkForDelete{kCheckedOutByOther, kMarkedForAddByOther, kMarkedForDeleteByOther,
                                 kNotAtHead,         kNotInDepot,          kIOError,
                                 kLockedByOther};

} // namespace FailureFlags
