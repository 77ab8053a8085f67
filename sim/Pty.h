// The simulator's end of the line: a pseudo-terminal whose other end a client opens as
// its serial port.
#pragma once

#include <string>

namespace sim {

struct Pty {
  int master = -1;
  int slave = -1;  // held open so that the line stays up between clients
  std::string path;
  std::string error;  // empty when it is open
};

// A raw pseudo-terminal, its master side not blocking, linked at `link` when one is given.
Pty OpenPty(const std::string& link);
void ClosePty(Pty& pty, const std::string& link);

}  // namespace sim
