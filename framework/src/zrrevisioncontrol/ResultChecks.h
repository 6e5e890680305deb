// The two readings of a service status. Each step says which one its contract asks for: "status 0"
// is success only for 0, "not negative" also lets positive codes through.
#pragma once

#include "qor4/qorResult.h"

inline bool IsZero(const qor4::qorResult& result)
{
    return result == qor4::kResultOk;
}

inline bool IsNegative(const qor4::qorResult& result)
{
    return result.Failed();
}
