// Looking nodes up in a tree by caption, for the folder tree's tests.
#pragma once

#include <string>
#include <vector>

#include "ui/tree_view.h"

namespace browsetest {

// The child of node with this caption; null when there is none (or no node).
inline TTreeNode* Child(TTreeNode* node, const std::string& caption) {
  for (int i = 0; node != nullptr && i < node->Count(); ++i)
    if (node->Item(i)->Text() == caption) return node->Item(i);
  return nullptr;
}

// The captions of node's children, in the tree's order.
inline std::vector<std::string> Captions(TTreeNode* node) {
  std::vector<std::string> out;
  for (int i = 0; i < node->Count(); ++i) out.push_back(node->Item(i)->Text());
  return out;
}

}  // namespace browsetest
