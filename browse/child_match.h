// Matching a filled node's children against a fresh listing of its folder, as Resync does:
// the existing children are sorted once with the folder's comparison and each fresh item is
// looked up by bisection, instead of comparing every pair.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/shell/shell_folder.h"

struct TChildMatch {
  std::vector<std::size_t> gone;   // indexes into `existing` that no longer exist
  std::vector<std::size_t> added;  // indexes into `fresh` that are new, in listing order
};

// The folder's comparison of two relative lists (column 0): the low 16 bits of the success
// code read as a signed number; a failed comparison counts as equal.
int CompareInFolder(win::IShellFolder* folder, win::LPCITEMIDLIST a, win::LPCITEMIDLIST b);

TChildMatch MatchChildren(win::IShellFolder* folder,
                          const std::vector<win::LPCITEMIDLIST>& existing,
                          const std::vector<win::LPCITEMIDLIST>& fresh);
