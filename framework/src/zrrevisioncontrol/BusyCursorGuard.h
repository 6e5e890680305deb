// Shows an override cursor for the lifetime of the guard, while the application has windows.
#pragma once

#include <Qt>

class BusyCursorGuard {
public:
    BusyCursorGuard();
    explicit BusyCursorGuard(Qt::CursorShape shape);
    ~BusyCursorGuard();
    BusyCursorGuard(const BusyCursorGuard&) = delete;
    BusyCursorGuard& operator=(const BusyCursorGuard&) = delete;
};
