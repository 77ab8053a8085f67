// End-to-end harness: climon-sim on a pseudo-terminal, the real climon in tmux at 80 x 25.
// Every wait is bounded; a test polls for what it expects.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;

struct Traffic {
  double ms;
  std::string command;
  std::string reply;
};

// A port of 127.0.0.1 that nothing listens on now, and whether something listens on one.
int FreePort();
bool Listens(int port);

// ser2net (Debian's) in front of a serial device, one port of each kind on 127.0.0.1 from
// a configuration written in `dir`: raw TCP and RFC 2217. Killed when it ends.
class Ser2net {
 public:
  Ser2net(const std::string& dir, const std::string& device);
  ~Ser2net();
  void Start();                             // again, after a kill
  void Signal(int sig) const;               // SIGKILL, SIGSTOP, SIGCONT
  std::string Address(bool rfc2217) const;  // for CLIMON_COMn
  int Port(bool rfc2217) const { return rfc2217 ? telnet_ : raw_; }

 private:
  std::string dir_;
  int raw_, telnet_;
  int server_pid_ = 0;
};

class Simulator {
 public:
  // Starts climon-sim with these options; its terminal is linked at link().
  // Linked at dir/COM1, or at `link` when one is given.
  Simulator(const std::string& dir, std::vector<std::string> options, const std::string& link = "");
  ~Simulator();
  void Stop();
  // Starts it again on the same link (after Stop), as a replugged controller.
  void Start();
  const std::string& link() const { return link_; }
  std::vector<Traffic> Log() const;
  std::vector<std::string> Commands() const;

 private:
  std::string link_, log_;
  std::vector<std::string> args_;
  int pid_ = -1;
};

class Session {
 public:
  // Runs climon in a new tmux server of its own, with COM1 on `com1` (and more
  // environment in `env`, as "NAME=value" words).
  // `command`: how climon is run (shell words), the POSIX build's climon by default.
  explicit Session(const std::string& com1, const std::string& env = "",
                   const std::string& command = "");
  ~Session();

  const std::string& dir() const { return dir_; }
  void Type(const std::string& text);  // literally
  void Key(const std::string& name);   // a tmux key name: Enter, Escape, BSpace
  // climon's process id (0 before it has started), and a signal sent to it.
  int Pid() const;
  void Signal(int sig) const;
  // The state letter of climon's process: R, S, T (stopped), ...; '?' when gone.
  char ProcessState() const;
  // Resizes the terminal window.
  void Resize(int cols, int rows);
  std::vector<std::string> Screen() const;
  std::string Row(int y) const;  // 1-based, without trailing blanks
  std::string ScreenText() const;
  // The bytes the terminal has received since a moment after the start.
  std::string Output() const;
  // Polls the screen until the predicate holds; false after the bound.
  bool WaitFor(const std::function<bool()>& ok, std::chrono::milliseconds bound = 10s) const;
  bool WaitForText(const std::string& text, std::chrono::milliseconds bound = 10s) const;
  // The exit status once climon has ended; nullopt if it has not within the bound.
  std::optional<int> WaitExit(std::chrono::milliseconds bound = 10s) const;
  // After exit: whether the terminal's settings were the same as before the start.
  bool TerminalRestored() const;

 private:
  std::string Tmux(const std::string& args) const;
  std::string dir_, socket_;
};

// climon-sim and climon in tmux, at the port prompt; removes its directory at the end.
struct Climon {
  explicit Climon(std::vector<std::string> sim_options, const std::string& env = "",
                  const std::string& link = "", const std::string& command = "");
  ~Climon();
  // Types the answer to the port prompt and Enter.
  void Answer(const std::string& port);
  // Waits for a screen row to read exactly `text`.
  bool Shows(int row, const std::string& text) const;
  int Count(const std::string& command) const;

  std::string dir;
  Simulator sim;
  Session s;
};

// The real climon as a service: --headless and `args`, without a terminal, its output and
// errors kept; killed at the end if still running.
struct Service {
  std::string dir;
  int pid = -1;
  Service(const std::string& com1, const std::string& args, const std::string& env = "");
  ~Service();
  // The exit status, or nullopt if it has not ended within the bound.
  std::optional<int> Wait(std::chrono::milliseconds bound);
  std::string Err() const;
};

// The median time from one command to the next where nothing else came between (gaps
// under 90 ms: no 100 ms wait, no retry): one transaction as the controller sees it.
double MedianTransactionMs(const std::vector<Traffic>& log);

// The POSIX build's climon, climon-sim and climon-plot.
std::string ClimonBin();
std::string SimBin();
std::string PlotBin();
std::string ReportBin();

// Runs a program to its end with its input from /dev/null: its exit status, standard
// output and standard error.
struct Ran {
  int status;
  std::string out, err;
};
Ran RunProgram(const std::string& command_line);
// Polls until the predicate holds; false after the bound.
bool Poll(const std::function<bool()>& ok, std::chrono::milliseconds bound);

// A fresh temporary directory.
std::string TempDir();
std::string Quote(const std::string& s);
std::string ReadFile(const std::string& path);

}  // namespace e2e
