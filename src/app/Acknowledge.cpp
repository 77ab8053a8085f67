#include "app/Acknowledge.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "files/Files.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMagic = "climon acknowledgement 1\n";
constexpr const char *kRequest = ".request", *kAnswer = ".answer";

std::string ReadSmall(const fs::path& p) {
  std::string text;
  if (std::FILE* f = std::fopen(p.string().c_str(), "rb")) {
    char buf[4096];
    std::size_t n = std::fread(buf, 1, sizeof buf, f);
    text.assign(buf, n);
    std::fclose(f);
  }
  return text;
}

// Written whole beside under a new name, then renamed into place: the reader never sees a
// part, and a name someone else left there is never written through.
bool Leave(const fs::path& p, const std::string& text, std::string& why) {
  const std::string tmp = p.string() + ".tmp";
  std::error_code ec;
  fs::remove(tmp, ec);  // a link left at the name goes, not its target
  if (!files::WriteNew(tmp, text, why)) return false;
  if (!files::RenameOver(tmp, p.string(), why)) {
    fs::remove(tmp, ec);
    return false;
  }
  return true;
}

}  // namespace

std::string AckFolderOf(const std::string& room) {
  return (fs::path(files::ServicesFolder()) / room).string();
}

std::vector<monitor::AckRequest> AckBox::Take() {
  std::vector<fs::path> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    // A file, not a link: its owner is who left it.
    if (it->path().extension() == kRequest &&
        it->symlink_status(ec).type() == fs::file_type::regular)
      found.push_back(it->path());
  }
  std::sort(found.begin(), found.end());  // the sender's time leads the name
  std::vector<monitor::AckRequest> out;
  for (const fs::path& p : found) {
    const std::string user = files::OwnerOf(p.string());
    const std::string text = ReadSmall(p);
    if (!fs::remove(p, ec)) continue;  // taken back by its sender meanwhile
    fs::path answer = p;
    answer.replace_extension(kAnswer);
    auto reply = [answer](const std::string& said) {
      std::string why;
      Leave(answer, said + "\n", why);
    };
    const std::size_t cause = text.find('\n'), action = text.find('\n', cause + 1);
    if (!text.starts_with(kMagic) || user.empty() || action == std::string::npos) {
      reply("the request was not understood: nothing changed");
      continue;
    }
    const std::size_t end = text.find('\n', action + 1);
    out.push_back({user, text.substr(cause + 1, action - cause - 1),
                   text.substr(action + 1, end == std::string::npos ? end : end - action - 1),
                   reply});
  }
  return out;
}

int SendAcknowledgement(const std::string& folder, const std::string& room,
                        const std::string& cause, const std::string& action) {
  std::error_code ec;
  const auto refused = [&room, &folder] {
    std::fprintf(stderr,
                 "climon: you may not acknowledge the alarms of room %s (%s is not open to you; "
                 "the members of the group climon-ack may): nothing acknowledged\n",
                 room.c_str(), folder.c_str());
    return 1;
  };
  const bool there = fs::is_directory(folder, ec);
  if (ec == std::errc::permission_denied) return refused();
  if (!there) {
    std::fprintf(stderr,
                 "climon: no climon service of room %s runs on this machine (%s is not there): "
                 "nothing acknowledged\n",
                 room.c_str(), folder.c_str());
    return 1;
  }
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const std::string name =
      std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) + "-" +
      std::to_string(std::hash<std::string>{}(files::LoginName() + std::to_string(now.count())));
  const fs::path request = fs::path(folder) / (name + kRequest);
  const fs::path answer = fs::path(folder) / (name + kAnswer);
  std::string why;
  // A line each: the cause and the action hold no line end.
  if (!Leave(request,
             kMagic + alarms::OneLine(cause, monitor::kAnswerMax) + "\n" +
                 alarms::OneLine(action, monitor::kAnswerMax) + "\n",
             why)) {
    if (why.find(std::strerror(EACCES)) != std::string::npos) return refused();
    std::fprintf(stderr, "climon: the acknowledgement could not be left for room %s: %s\n",
                 room.c_str(), why.c_str());
    return 1;
  }
  const auto until = std::chrono::steady_clock::now() + kAckWait;
  for (;;) {
    if (fs::exists(answer, ec)) {
      std::string said = ReadSmall(answer);
      fs::remove(answer, ec);
      while (!said.empty() && said.back() == '\n') said.pop_back();
      const bool done = said.starts_with("acknowledged");
      std::fprintf(done ? stdout : stderr, "climon: %s: %s\n", room.c_str(), said.c_str());
      return done ? 0 : 1;
    }
    const auto late = std::chrono::steady_clock::now() - until;
    if (late >= std::chrono::seconds(0) && (fs::remove(request, ec) || late > kAckWait)) {
      // Taken back unread; or taken and never answered (the service ended meanwhile).
      std::fprintf(
          stderr,
          "climon: the service of room %s did not answer within %lld s (is it "
          "running?): %s\n",
          room.c_str(), static_cast<long long>(kAckWait.count()),
          late > kAckWait ? "it took the request; see its journal" : "nothing acknowledged");
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace app
