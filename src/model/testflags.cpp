#include "model/testflags.h"

bool VELKTestFlags::running = false;
