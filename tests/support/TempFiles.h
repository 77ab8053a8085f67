// Test files in a folder of their own, plain or gzip-compressed, removed at the end.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <string>

// Named for the test, so that tests run side by side keep apart.
struct Folder {
  std::string dir;
  Folder() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = (std::filesystem::temp_directory_path() /
           (std::string("climon-") + test->test_suite_name() + "-" + test->name()))
              .string();
    std::filesystem::remove_all(dir);  // what a crashed run left
    std::filesystem::create_directories(dir);
  }
  ~Folder() { std::filesystem::remove_all(dir); }
  std::string Write(const std::string& name, const std::string& bytes, bool gz = false) {
    std::string path = dir + "/" + name;
    if (gz) {
      gzFile f = gzopen(path.c_str(), "wb");
      gzwrite(f, bytes.data(), static_cast<unsigned>(bytes.size()));
      gzclose(f);
    } else {
      std::ofstream(path, std::ios::binary) << bytes;
    }
    return path;
  }
};
