// Overwrites memory that held a secret, so that the secret does not outlive its use once the
// memory is freed. The writes go through volatile so that no optimizer drops them as dead stores.
#pragma once

#include <cstddef>

template <typename Unit> void WipeSecret(Unit* units, std::size_t count)
{
    volatile Unit* target = units;
    for (std::size_t i = 0; i < count; ++i)
        target[i] = Unit{};
}
