// The common shape of a step against an expired session: run it; when it ends with -34 and the
// session could be re-opened, run it once more.
#pragma once

#include "qor4/qorResult.h"

template <class Step, class Reopen> qor4::qorResult RunReopeningOnce(Step&& step, Reopen&& reopen)
{
    qor4::qorResult result = step();
    if (result == qor4::kResultSessionExpired && reopen()) result = step();
    return result;
}
