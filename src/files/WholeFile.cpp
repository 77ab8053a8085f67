#include <cerrno>
#include <cstring>

#include "files/Files.h"

namespace files {

bool WriteAll(const std::string& path, std::string_view bytes, std::string& why) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    why = std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  int saved = errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok) why = std::strerror(saved != 0 ? saved : EIO);
  return ok;
}

}  // namespace files
