#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/Files.h"

namespace files {

bool StillNamed(std::FILE* f, const std::string& path) {
  struct stat open_file {
  }, named{};
  if (::fstat(::fileno(f), &open_file) != 0 || ::stat(path.c_str(), &named) != 0) return false;
  return open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

std::FILE* OpenAppend(const std::string& path, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "a+b");
  if (f == nullptr) error = std::strerror(errno);
  return f;
}

bool IsTerminal(std::FILE* f) {
  return ::isatty(::fileno(f)) == 1;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  error = std::strerror(errno);
  return false;
}

bool SeekTo(std::FILE* f, std::uint64_t at) {
  return ::fseeko(f, static_cast<off_t>(at), SEEK_SET) == 0;
}

std::uint64_t SizeOf(std::FILE* f) {
  struct stat st {};
  return ::fstat(::fileno(f), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

std::string LoginName() {
  // The session's login where there is one; a service has none: the account it runs as.
  char name[256];
  if (::getlogin_r(name, sizeof name) == 0) return name;
  if (const struct passwd* pw = ::getpwuid(::geteuid())) return pw->pw_name;
  return "uid " + std::to_string(::geteuid());
}

std::string ServicesFolder() {
  return "/run/climon";
}

std::string OwnerOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return "";
  if (const struct passwd* pw = ::getpwuid(st.st_uid)) return pw->pw_name;
  return "uid " + std::to_string(st.st_uid);
}

}  // namespace files
