// Kernel tests: a scratch folder per test, reached through Windows paths on drive C: (= "/").
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
#include "tests/support/scratch_folder.h"

namespace kernel_test {

inline std::string Ansi(const std::string& utf8) {
  return win::Utf8ToAnsi(utf8).value();
}

// A scratch folder per test (Host, HostOf, Win, Write, Read, Exists, Names).
using TempFolder = test_support::ScratchFolder;

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
  TempFolder folder_{"suotu-kernel"};
};

}  // namespace kernel_test
