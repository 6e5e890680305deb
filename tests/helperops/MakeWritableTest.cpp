#include "HostFixture.h"
