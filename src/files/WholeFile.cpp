#include <cerrno>
#include <cstring>
#include <filesystem>

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

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

std::optional<std::string> OutputClash(const std::vector<std::string>& outputs,
                                       const std::vector<std::string>& inputs) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const std::string& out = outputs[i];
    if (out.empty()) continue;
    for (const std::string& in : inputs) {
      if (out == in || SameFile(out, in)) {
        return out + " is also an input (" + in + "): an output may not overwrite what is read";
      }
    }
    for (std::size_t j = 0; j < i; ++j) {
      // Not written yet: the same name, however spelt, is the same file.
      std::error_code ec1, ec2;
      const auto a = std::filesystem::weakly_canonical(out, ec1);
      const auto b = std::filesystem::weakly_canonical(outputs[j], ec2);
      if (out == outputs[j] || SameFile(out, outputs[j]) || (!ec1 && !ec2 && a == b)) {
        return out + " is named for two outputs: each needs a file of its own";
      }
    }
  }
  return std::nullopt;
}

}  // namespace files
