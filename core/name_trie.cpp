#include "core/name_trie.h"

#include <utility>

TrieNode::TrieNode(int kind) : kind(kind), ch('\0'), value(nullptr) {}

TrieNode::TrieNode(char c) : kind(kInner), ch(c), value(nullptr) {}

TrieNode::TrieNode(const std::string& name)
    : kind(kLeaf), key(name), ch('\0'), value(nullptr) {}

TrieNode::~TrieNode() {
  // Unlink the subtree into a work list and free it node by node; a recursive
  // delete would go as deep as the longest name.
  std::vector<std::unique_ptr<TrieNode>> pending = std::move(children);
  while (!pending.empty()) {
    std::unique_ptr<TrieNode> node = std::move(pending.back());
    pending.pop_back();
    for (std::unique_ptr<TrieNode>& child : node->children) {
      pending.push_back(std::move(child));
    }
    node->children.clear();
  }
}

TrieNode* TrieNode::GetOrAddChild(char c) {
  TrieNode* found = FindChild(c);
  if (found != nullptr) return found;
  children.push_back(std::make_unique<TrieNode>(c));
  return children.back().get();
}

TrieNode* TrieNode::FindChild(char c) const {
  for (const std::unique_ptr<TrieNode>& child : children) {
    if (child->kind == kInner && child->ch == c) return child.get();
  }
  return nullptr;
}

NameTrie::NameTrie() : root(std::make_unique<TrieNode>(TrieNode::kRoot)) {}

TrieNode* NameTrie::Insert(const std::string& name, CVarRecord* record) {
  TrieNode* node = root.get();
  for (char c : name) node = node->GetOrAddChild(c);
  node->children.push_back(std::make_unique<TrieNode>(name));
  TrieNode* leaf = node->children.back().get();
  leaf->value = record;
  return leaf;
}

TrieNode* NameTrie::Find(const std::string& name) const {
  TrieNode* node = root.get();
  if (name.empty()) return node;
  for (char c : name) {
    node = node->FindChild(c);
    if (node == nullptr) return nullptr;
  }
  for (const std::unique_ptr<TrieNode>& child : node->children) {
    if (child->kind == TrieNode::kLeaf) return child.get();
  }
  return node;
}

TrieNode* NameTrie::FindLeaf(const std::string& name) const {
  TrieNode* node = Find(name);
  return (node != nullptr && node->kind == TrieNode::kLeaf) ? node : nullptr;
}

std::vector<TrieNode*> NameTrie::GetLeaves(TrieNode* node) const {
  std::vector<TrieNode*> leaves;
  if (node == nullptr) return leaves;
  // Depth-first with an explicit stack (children pushed in reverse so the
  // first child is visited first); depth is bounded only by name length.
  std::vector<TrieNode*> stack{node};
  while (!stack.empty()) {
    TrieNode* current = stack.back();
    stack.pop_back();
    if (current->kind == TrieNode::kLeaf) {
      leaves.push_back(current);
      continue;
    }
    for (auto it = current->children.rbegin(); it != current->children.rend(); ++it) {
      stack.push_back(it->get());
    }
  }
  return leaves;
}

std::vector<std::string> NameTrie::GetLeafNames(TrieNode* node) const {
  std::vector<std::string> names;
  for (TrieNode* leaf : GetLeaves(node)) names.push_back(leaf->key);
  return names;
}
