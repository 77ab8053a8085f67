// A program of the site's started beside climon (the alarms' --notify): never waited for,
// looked at, and ended when it runs too long. Each platform folder defines it.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace files {

class Child {
 public:
  virtual ~Child() = default;
  // Whether it has ended; then its exit status, or why it ended otherwise ("killed by
  // signal 9") in `why`.
  virtual bool Ended(int& status, std::string& why) = 0;
  // Ends it, and the programs it started.
  virtual void Kill() = 0;
};

// Starts `program` (a path, or a name looked up on the PATH) without arguments, with
// `env` added to climon's environment, its standard input and output on the null device
// and its errors where climon's go when `keep_errors` (a service's journal), else on the
// null device too; null with the system's reason in `error`.
std::unique_ptr<Child> StartChild(const std::string& program,
                                  const std::vector<std::pair<std::string, std::string>>& env,
                                  bool keep_errors, std::string& error);

}  // namespace files
