#pragma once

#include <memory>
#include <string>
#include <vector>

// The registered record that a leaf points at (a console variable or console
// function, core/console_variable.h).
struct CVarRecord;

// One node of a character trie. A name of n characters is a path of n inner
// nodes below the root, one per character, plus a leaf (whose `key` is the
// whole name) in the `children` of the last inner node; the empty name's leaf
// hangs directly under the root. One child list may thus mix inner nodes
// (longer names) and leaves (the name that ends here). Children are only ever
// appended, so every list is in order of first insertion.
class TrieNode {
 public:
  static constexpr int kLeaf = 0;
  static constexpr int kInner = 1;
  static constexpr int kRoot = 2;

  // A node of the given kind with no children and an empty key (used for the
  // root).
  explicit TrieNode(int kind);
  // An inner node for the character c.
  explicit TrieNode(char c);
  // A leaf for the whole name; its `value` is null until set.
  explicit TrieNode(const std::string& name);
  // Deletes the whole subtree (without recursion, so very long names cannot
  // exhaust the stack); never the records that leaves point to.
  ~TrieNode();
  TrieNode(const TrieNode&) = delete;
  TrieNode& operator=(const TrieNode&) = delete;

  // The first inner child (in list order) for the character c; when there is
  // none, a new inner node for c is appended to `children` and returned.
  TrieNode* GetOrAddChild(char c);

  // The first inner child (in list order) for the character c, or null.
  // Leaves are never returned.
  TrieNode* FindChild(char c) const;

  int kind;                                         // kLeaf, kInner or kRoot
  std::vector<std::unique_ptr<TrieNode>> children;  // owned, insertion order
  std::string key;                                  // leaf: the whole name
  char ch;                                          // inner node: its character
  CVarRecord* value;                                // leaf: the record, not owned
};

// A character trie mapping names to records. It keeps no sorting: names are
// listed in the order in which their characters were first inserted.
// Characters are compared exactly (case matters); any byte, including '\0', is
// a character.
class NameTrie {
 public:
  // An empty trie: a root (kind kRoot) without children.
  NameTrie();
  NameTrie(const NameTrie&) = delete;
  NameTrie& operator=(const NameTrie&) = delete;

  // Walks (creating as needed) the inner node of every character of `name`
  // and appends a new leaf for it there, pointing at `record`. There is no
  // test for an existing entry: inserting a name twice leaves two leaves.
  // Returns the new leaf.
  TrieNode* Insert(const std::string& name, CVarRecord* record);

  // The empty name yields the root. Otherwise null as soon as a character of
  // the name has no inner node; at the node of the last character, its first
  // leaf (the entry for exactly this name), or the inner node itself when it
  // has no leaf (the name is only a prefix of registered names).
  TrieNode* Find(const std::string& name) const;

  // Find(name) when that is a leaf, else null. The root is never a leaf, so
  // the empty name is never found.
  TrieNode* FindLeaf(const std::string& name) const;

  TrieNode* GetRoot() const { return root.get(); }

  // The leaves at or below `node` in depth-first order: a leaf gives itself,
  // any other node its children's leaves in list order. Null gives none.
  std::vector<TrieNode*> GetLeaves(TrieNode* node) const;

  // The `key`s of GetLeaves(node), in the same order.
  std::vector<std::string> GetLeafNames(TrieNode* node) const;

  std::unique_ptr<TrieNode> root;
};
