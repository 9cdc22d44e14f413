#include "tests/support/scratch_folder.h"

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "platform/kernel/kernel.h"

namespace test_support {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(std::string_view prefix, const fs::path& base) {
  const fs::path folder = base.empty() ? fs::temp_directory_path() : base;
  std::string pattern = (folder / (std::string(prefix) + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed: " + pattern);
  host_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(host_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink()) chmod(it->path().c_str(), 0700);
  }
  chmod(host_.c_str(), 0700);
  fs::remove_all(host_, ec);
}

std::string ScratchFolder::HostOf(std::string_view name) const {
  return host_ + "/" + std::string(name);
}

std::string ScratchFolder::Win(std::string_view name) const {
  return WindowsPathOf(name.empty() ? host_ : HostOf(name));
}

void ScratchFolder::Write(std::string_view name, std::string_view bytes) const {
  std::ofstream out(HostOf(name), std::ios::binary);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + HostOf(name));
}

void ScratchFolder::Write(std::string_view name, const std::vector<unsigned char>& bytes) const {
  WriteBytes(HostOf(name), bytes);
}

std::string ScratchFolder::Read(std::string_view name) const {
  std::ifstream in(HostOf(name), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool ScratchFolder::Exists(std::string_view name) const {
  struct stat st;
  return lstat(HostOf(name).c_str(), &st) == 0;
}

std::vector<std::string> ScratchFolder::Names(std::string_view sub) const {
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

std::string WindowsPathOf(const fs::path& host) {
  std::string path = "C:" + host.string();
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  const auto ansi = win::Utf8ToAnsi(path);
  if (!ansi) throw std::runtime_error("no ANSI name for " + host.string());
  return *ansi;
}

std::vector<unsigned char> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace test_support
