// The tests' modal-window driver: the shared one, with every answer that could not be applied a
// test failure. See standin::ModalDriver for how answers are queued and applied.
#pragma once

#include "testkit/ModalDriver.h"

class ModalDriver : public standin::ModalDriver {
public:
    ModalDriver();
};
