#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "files/Child.h"

extern char** environ;

namespace files {
namespace {

class PosixChild : public Child {
 public:
  explicit PosixChild(pid_t pid) : pid_(pid) {}
  ~PosixChild() override {
    if (!ended_) Kill();
  }
  bool Ended(int& status, std::string& why) override {
    if (!ended_) {
      int st = 0;
      pid_t r = ::waitpid(pid_, &st, WNOHANG);
      if (r == 0) return false;
      ended_ = true;
      status_ = r < 0 ? -1 : WIFEXITED(st) ? WEXITSTATUS(st) : -1;
      if (r > 0 && WIFSIGNALED(st)) why_ = "killed by signal " + std::to_string(WTERMSIG(st));
    }
    status = status_;
    why = why_;
    return true;
  }
  void Kill() override {
    if (ended_) return;
    ::kill(-pid_, SIGKILL);  // its process group: what it started goes too
    int st = 0;
    while (::waitpid(pid_, &st, 0) < 0 && errno == EINTR) {
    }
    ended_ = true;
    status_ = -1;
    why_ = "killed";
  }

 private:
  pid_t pid_;
  bool ended_ = false;
  int status_ = 0;
  std::string why_;
};

}  // namespace

std::unique_ptr<Child> StartChild(const std::string& program,
                                  const std::vector<std::pair<std::string, std::string>>& env,
                                  bool keep_errors, std::string& error) {
  std::vector<std::string> vars;
  for (char** e = environ; *e != nullptr; ++e) {
    bool replaced = false;
    for (const auto& [name, value] : env)
      replaced |= std::strncmp(*e, (name + "=").c_str(), name.size() + 1) == 0;
    if (!replaced) vars.emplace_back(*e);
  }
  for (const auto& [name, value] : env) vars.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& v : vars) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::string path = program;
  char* argv[] = {path.data(), nullptr};
  posix_spawn_file_actions_t fa;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  if (!keep_errors) posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_init(&attr);
  // A group of its own: the time limit ends what it started, and the terminal's keys and
  // signals do not reach it.
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attr, 0);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, path.c_str(), &fa, &attr, argv, envp.data());
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    error = std::strerror(rc);
    return nullptr;
  }
  return std::make_unique<PosixChild>(pid);
}

}  // namespace files
