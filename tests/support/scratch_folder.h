// A folder of its own for one test, removed with everything in it afterwards. CTest runs tests
// in parallel processes, so no two tests may share a fixed path.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

class ScratchFolder {
 public:
  // A new folder <base>/<prefix>-XXXXXX, base being the temporary folder unless given; the
  // prefix only helps to tell whose folder is left over.
  explicit ScratchFolder(std::string_view prefix = "suotu-test",
                         const std::filesystem::path& base = {});
  // Gives write permission back first, so nothing the test made read-only blocks the removal.
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder's host path.
  const std::string& Host() const { return host_; }
  // The host path of a name (UTF-8, "/" between folders) in this folder.
  std::string HostOf(std::string_view name) const;
  // The Windows path of a name in this folder (or of the folder), in the ANSI code page, drive
  // C: being the host's root.
  std::string Win(std::string_view name = "") const;

  void Write(std::string_view name, std::string_view bytes) const;
  void Write(std::string_view name, const std::vector<unsigned char>& bytes) const;
  // The whole file; empty when it cannot be read.
  std::string Read(std::string_view name) const;
  // Whether the name exists (a dangling symbolic link counts).
  bool Exists(std::string_view name) const;
  // Entries of the folder (or of a subfolder) in the host's enumeration order.
  std::vector<std::string> Names(std::string_view sub = "") const;

 private:
  std::string host_;
};

// The Windows path of any host path, as ScratchFolder::Win makes it.
std::string WindowsPathOf(const std::filesystem::path& host);

// Whole files as bytes.
std::vector<unsigned char> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

}  // namespace test_support
