// Acknowledgements from `climon --acknowledge ROOM` to the room's service on the same
// machine, through a folder of the service's: the sender leaves a request file there
// (renamed into place whole), the service takes it on its next pass, acknowledges the
// alarm that most needs it under the name of the file's owner (as the system knows who made
// it, not as the file says) and leaves its answer beside it, which the sender reads and
// removes. Who may acknowledge is who may write in the folder: on Linux the climon-ack
// group (the unit makes the folder so), on Windows the folder's access list (the installer
// sets it). A request no service takes within kAckWait is taken back: nothing changes.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "monitor/Monitor.h"

namespace app {

inline constexpr std::chrono::seconds kAckWait{10};

// The folder of the room's service: its name under files::ServicesFolder().
std::string AckFolderOf(const std::string& room);

// The service's side: the requests left since the last look, oldest first.
class AckBox {
 public:
  explicit AckBox(std::string folder) : folder_(std::move(folder)) {}
  std::vector<monitor::AckRequest> Take();

 private:
  std::string folder_;
};

// The sender's side: the exit status (0 acknowledged, 1 nothing acknowledged), with what
// the service answered, or why none did, on stdout or stderr.
int SendAcknowledgement(const std::string& folder, const std::string& room,
                        const std::string& cause, const std::string& action);

}  // namespace app
