#include <fcntl.h>
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

bool WriteNew(const std::string& path, std::string_view bytes, std::string& why) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0640);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  // The mode whatever the umask: the folder's group reads it.
  ::fchmod(fd, 0640);
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      why = std::strerror(n < 0 ? errno : EIO);
      ::close(fd);
      ::unlink(path.c_str());
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    why = std::strerror(errno);
    ::unlink(path.c_str());
    return false;
  }
  return true;
}

std::string OwnerOf(const std::string& path) {
  struct stat st;
  // The name's own owner: a link left there does not lend its target's.
  if (::lstat(path.c_str(), &st) != 0) return "";
  if (const struct passwd* pw = ::getpwuid(st.st_uid)) return pw->pw_name;
  return "uid " + std::to_string(st.st_uid);
}

}  // namespace files
