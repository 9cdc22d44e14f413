// A scratch folder per test, reached through Windows paths on drive C: (= "/").
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"

namespace kernel_test {

inline std::string Ansi(const std::string& utf8) {
  return win::Utf8ToAnsi(utf8).value();
}

class TempFolder {
 public:
  TempFolder() {
    char path[] = "/tmp/suotu-kernel-XXXXXX";
    if (mkdtemp(path) == nullptr) throw std::runtime_error("mkdtemp failed");
    host_ = path;
  }
  ~TempFolder() {
    // Give write permission back so nothing the test made read-only blocks the clean-up.
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(host_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      chmod(it->path().c_str(), 0700);
    }
    chmod(host_.c_str(), 0700);
    std::filesystem::remove_all(host_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Host() const { return host_; }
  std::string HostOf(const std::string& utf8Name) const { return host_ + "/" + utf8Name; }
  // The Windows path (code page 936) of a name in this folder, given in UTF-8 with "/".
  std::string Win(const std::string& utf8Name = "") const {
    std::string path = "C:" + host_;
    if (!utf8Name.empty()) path += "/" + utf8Name;
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return Ansi(path);
  }
  void Write(const std::string& utf8Name, const std::string& content) const {
    std::ofstream(HostOf(utf8Name), std::ios::binary) << content;
  }
  std::string Read(const std::string& utf8Name) const {
    std::ifstream in(HostOf(utf8Name), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  bool Exists(const std::string& utf8Name) const {
    struct stat st;
    return lstat(HostOf(utf8Name).c_str(), &st) == 0;
  }
  // Host names in the host's enumeration order, without "." and "..".
  std::vector<std::string> Names(const std::string& sub = "") const {
    std::vector<std::string> names;
    DIR* dir = opendir(sub.empty() ? host_.c_str() : HostOf(sub).c_str());
    if (dir == nullptr) return names;
    while (const dirent* e = readdir(dir)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
  }

 private:
  std::string host_;
};

// Every test starts with C: = "/" as the only drive and C:\ as the current directory.
class KernelTest : public testing::Test {
 protected:
  void SetUp() override {
    win::SetDriveTable({{'C', "/", win::DRIVE_FIXED}});
    win::SetCurrentDirectoryA("C:\\");
  }
  void TearDown() override {
    win::SetCurrentDirectoryA("C:\\");
    win::SetDriveTable({});
  }
  TempFolder folder_;
};

}  // namespace kernel_test
