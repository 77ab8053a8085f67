#include "Harness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

std::string Run(const std::string& cmd) {
  std::string out;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

}  // namespace

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string ClimonBin() {
  return CLIMON_BIN;
}

std::string SimBin() {
  return CLIMON_SIM_BIN;
}

std::string PlotBin() {
  return CLIMON_PLOT_BIN;
}

std::string ReportBin() {
  return CLIMON_REPORT_BIN;
}

Ran RunProgram(const std::string& command_line) {
  std::string dir = TempDir();
  std::string cmd =
      command_line + " </dev/null >" + Quote(dir + "/out") + " 2>" + Quote(dir + "/err");
  int rc = std::system(cmd.c_str());
  Ran r{WIFEXITED(rc) ? WEXITSTATUS(rc) : 128 + WTERMSIG(rc), ReadFile(dir + "/out"),
        ReadFile(dir + "/err")};
  Run("rm -rf " + Quote(dir));
  return r;
}

double MedianTransactionMs(const std::vector<Traffic>& log) {
  std::vector<double> gaps;
  for (std::size_t i = 1; i < log.size(); ++i) {
    double gap = log[i].ms - log[i - 1].ms;
    if (gap < 90) gaps.push_back(gap);
  }
  if (gaps.empty()) return 0;
  std::sort(gaps.begin(), gaps.end());
  return gaps[gaps.size() / 2];
}

std::string TempDir() {
  // Under CLIMON_E2E_TMPDIR when it is set: scripts/test-windows.sh gives its run a folder
  // that it removes at the end, whatever a Wine program that outlived its test left there.
  const char* base = std::getenv("CLIMON_E2E_TMPDIR");
  std::string tmpl =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/climon-e2e.XXXXXX";
  if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp");
  return tmpl;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

Simulator::Simulator(const std::string& dir, std::vector<std::string> options,
                     const std::string& link)
    : link_(link.empty() ? dir + "/COM1" : link), log_(dir + "/traffic.log") {
  args_ = {CLIMON_SIM_BIN, "--link", link_, "--log", log_};
  args_.insert(args_.end(), options.begin(), options.end());
  Start();
}

void Simulator::Start() {
  std::vector<char*> argv;
  for (auto& a : args_) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  if (::posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&fa);
  for (int i = 0; i < 200 && ::access(link_.c_str(), F_OK) != 0; ++i) {
    std::this_thread::sleep_for(10ms);
  }
}

Simulator::~Simulator() {
  Stop();
}

void Simulator::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::vector<Traffic> Simulator::Log() const {
  std::vector<Traffic> out;
  std::istringstream in(ReadFile(log_));
  std::string line;
  while (std::getline(in, line)) {
    std::size_t a = line.find('\t');
    std::size_t b = line.find('\t', a + 1);
    if (a == std::string::npos || b == std::string::npos) continue;
    out.push_back(
        {std::stod(line.substr(0, a)), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
  }
  return out;
}

std::vector<std::string> Simulator::Commands() const {
  std::vector<std::string> out;
  for (const auto& t : Log()) out.push_back(t.command);
  return out;
}

Session::Session(const std::string& com1, const std::string& env, const std::string& command)
    : dir_(TempDir()) {
  socket_ = "climon-e2e-" + std::to_string(::getpid()) + "-" + dir_.substr(dir_.rfind('.') + 1);
  std::ofstream w(dir_ + "/run.sh");
  // The shell outlives a Ctrl-C of climon, to report how it ended.
  w << "trap true INT\n"
    << "before=$(stty -g)\n"
    // climon keeps the pid of the shell that execs it, for the tests' signals.
    << "env CLIMON_COM1=" << Quote(com1) << " " << env << " sh -c 'echo $$ > " << dir_
    << "/pid; exec \"$@\"' sh " << (command.empty() ? Quote(CLIMON_BIN) : command) << "\n"
    << "rc=$?\n"
    << "after=$(stty -g)\n"
    << "[ \"$before\" = \"$after\" ] && echo same > " << Quote(dir_ + "/tty") << "\n"
    << "echo \"EXIT:$rc\"\n"
    << "echo $rc > " << Quote(dir_ + "/status") << "\n"
    << "sleep 300\n";  // keeps the pane for reading; the server is killed first
  w.close();
  // Under an interactive shell, as an operator starts it: the run is a job of its own,
  // so that a stop (SIGTSTP) stops it as it would at a prompt.
  Tmux("-f /dev/null new-session -d -s climon -x 80 -y 25 " +
       Quote("bash --norc --noprofile -i -c " + Quote("sh " + dir_ + "/run.sh; exit")));
  Tmux("pipe-pane -t climon " + Quote("cat >> " + Quote(dir_ + "/output")));
}

std::string Session::Output() const {
  return ReadFile(dir_ + "/output");
}

Session::~Session() {
  Tmux("kill-server");
  Run("rm -rf " + Quote(dir_));
}

std::string Session::Tmux(const std::string& args) const {
  return Run("LANG=C.UTF-8 tmux -u -L " + socket_ + " " + args + " 2>/dev/null");
}

void Session::Type(const std::string& text) {
  Tmux("send-keys -t climon -l " + Quote(text));
}

void Session::Key(const std::string& name) {
  Tmux("send-keys -t climon " + name);
}

int Session::Pid() const {
  std::string pid;
  WaitFor([&] { return !(pid = ReadFile(dir_ + "/pid")).empty(); }, 5s);
  return pid.empty() ? 0 : std::stoi(pid);
}

void Session::Signal(int sig) const {
  if (int pid = Pid(); pid > 0) ::kill(pid, sig);
}

char Session::ProcessState() const {
  // /proc/<pid>/stat: "pid (name) S ...".
  std::string stat = ReadFile("/proc/" + std::to_string(Pid()) + "/stat");
  std::size_t paren = stat.rfind(')');
  return paren == std::string::npos || paren + 2 >= stat.size() ? '?' : stat[paren + 2];
}

void Session::Resize(int cols, int rows) {
  Tmux("resize-window -t climon -x " + std::to_string(cols) + " -y " + std::to_string(rows));
}

std::vector<std::string> Session::Screen() const {
  std::vector<std::string> rows;
  std::istringstream in(Tmux("capture-pane -p -t climon"));
  std::string line;
  while (std::getline(in, line)) rows.push_back(line);
  while (rows.size() < 25) rows.emplace_back();
  return rows;
}

std::string Session::Row(int y) const {
  std::string r = Screen()[static_cast<std::size_t>(y - 1)];
  while (!r.empty() && r.back() == ' ') r.pop_back();
  return r;
}

std::string Session::ScreenText() const {
  std::string all;
  for (const auto& r : Screen()) all += r + "\n";
  return all;
}

bool Poll(const std::function<bool()>& ok, std::chrono::milliseconds bound) {
  auto end = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < end) {
    if (ok()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return ok();
}

bool Session::WaitFor(const std::function<bool()>& ok, std::chrono::milliseconds bound) const {
  return Poll(ok, bound);
}

bool Session::WaitForText(const std::string& text, std::chrono::milliseconds bound) const {
  return WaitFor([&] { return ScreenText().find(text) != std::string::npos; }, bound);
}

std::optional<int> Session::WaitExit(std::chrono::milliseconds bound) const {
  std::string path = dir_ + "/status";
  if (!WaitFor([&] { return !ReadFile(path).empty(); }, bound)) return std::nullopt;
  return std::stoi(ReadFile(path));
}

Service::Service(const std::string& com1, const std::string& args, const std::string& env)
    : dir(TempDir()) {
  pid = ::fork();
  if (pid == 0) {
    ::setsid();  // no controlling terminal
    std::string cmd = "exec env CLIMON_COM1=" + Quote(com1) + " " + env + " " + Quote(ClimonBin()) +
                      " --headless " + args + " </dev/null >" + Quote(dir + "/out") + " 2>" +
                      Quote(dir + "/err");
    ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
}

std::optional<int> Service::Wait(std::chrono::milliseconds bound) {
  auto until = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < until) {
    int st = 0;
    if (::waitpid(pid, &st, WNOHANG) == pid) {
      pid = -1;
      return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    }
    std::this_thread::sleep_for(5ms);
  }
  return std::nullopt;
}

std::string Service::Err() const {
  return ReadFile(dir + "/err");
}

Service::~Service() {
  if (pid > 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  Run("rm -rf " + Quote(dir));
}

Climon::Climon(std::vector<std::string> sim_options, const std::string& env,
               const std::string& link, const std::string& command)
    : dir(TempDir()), sim(dir, std::move(sim_options), link), s(sim.link(), env, command) {
  s.WaitForText("Enter Comport");
}

Climon::~Climon() {
  sim.Stop();
  Run("rm -rf " + Quote(dir));
}

void Climon::Answer(const std::string& port) {
  s.Type(port);
  s.Key("Enter");
}

bool Climon::Shows(int row, const std::string& text) const {
  return s.WaitFor([&] { return s.Row(row) == text; });
}

int Climon::Count(const std::string& command) const {
  int n = 0;
  for (const auto& c : sim.Commands()) n += c == command;
  return n;
}

bool Session::TerminalRestored() const {
  return ReadFile(dir_ + "/tty").starts_with("same");
}

int FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

bool Listens(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

Ser2net::Ser2net(const std::string& dir, const std::string& device)
    : dir_(dir), raw_(FreePort()), telnet_(FreePort()) {
  std::ofstream(dir + "/ser2net.yaml")
      << "%YAML 1.1\n---\n"
      << "connection: &raw\n  accepter: tcp,127.0.0.1," << raw_ << "\n"
      << "  connector: serialdev," << device << ",9600e81,local\n"
      << "connection: &telnet\n  accepter: telnet(rfc2217),tcp,127.0.0.1," << telnet_ << "\n"
      << "  connector: serialdev," << device << ",9600e81,local\n";
  Start();
}

Ser2net::~Ser2net() {
  Signal(SIGKILL);
}

void Ser2net::Start() {
  Run("ser2net -n -c " + Quote(dir_ + "/ser2net.yaml") + " -P " + Quote(dir_ + "/ser2net.pid") +
      " >/dev/null 2>&1 &");
  Poll([&] { return Listens(raw_) && Listens(telnet_); }, std::chrono::seconds(10));
  // Kept here: the test may remove the folder before the server is killed.
  server_pid_ = std::atoi(Run("cat " + Quote(dir_ + "/ser2net.pid") + " 2>/dev/null").c_str());
}

void Ser2net::Signal(int sig) const {
  if (server_pid_ > 0) ::kill(server_pid_, sig);
}

std::string Ser2net::Address(bool rfc2217) const {
  return rfc2217 ? "rfc2217://127.0.0.1:" + std::to_string(telnet_)
                 : "tcp://127.0.0.1:" + std::to_string(raw_);
}

}  // namespace e2e
