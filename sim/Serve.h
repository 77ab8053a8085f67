// The simulator's controller loop: commands from the line, replies (with their faults)
// back to it, the traffic log, until a stop signal.
#pragma once

#include <cstdio>

#include "Controller.h"
#include "Pty.h"
#include "SimOptions.h"

namespace sim {

void Serve(const SimOptions& o, Controller& plc, const Pty& line, std::FILE* log);

}  // namespace sim
