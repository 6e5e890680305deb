#include "ModalDriver.h"

#include <gtest/gtest.h>

ModalDriver::ModalDriver()
{
    SetProblemHandler([](const std::string& problem) { ADD_FAILURE() << problem; });
}
