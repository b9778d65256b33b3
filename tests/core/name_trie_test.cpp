#include "core/name_trie.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/console_variable.h"

namespace {

// Distinct records; the trie only stores and returns the pointers.
CVarRecord* FakeRecord(int i) {
  static CVarRecord records[64];
  return &records[i];
}

TEST(NameTrie, EmptyTrieAndEmptyName) {
  NameTrie trie;
  EXPECT_EQ(trie.Find("a"), nullptr);
  EXPECT_EQ(trie.Find(""), trie.GetRoot());
  EXPECT_EQ(trie.FindLeaf(""), nullptr);
  EXPECT_TRUE(trie.GetLeaves(trie.GetRoot()).empty());
  EXPECT_TRUE(trie.GetLeaves(nullptr).empty());
  // The empty name's leaf hangs under the root but is never found.
  trie.Insert("b", FakeRecord(0));
  trie.Insert("", FakeRecord(1));
  EXPECT_EQ(trie.Find(""), trie.GetRoot());
  EXPECT_EQ(trie.FindLeaf(""), nullptr);
  EXPECT_EQ(trie.GetLeafNames(trie.GetRoot()), (std::vector<std::string>{"b", ""}));
}

TEST(NameTrie, OrderIsFirstInsertionNotAlphabetical) {
  {
    // First and third share their first character: first, third, second.
    NameTrie trie;
    trie.Insert("gl.x", FakeRecord(0));
    trie.Insert("camera.y", FakeRecord(1));
    trie.Insert("gl.a", FakeRecord(2));
    EXPECT_EQ(trie.GetLeafNames(trie.GetRoot()),
              (std::vector<std::string>{"gl.x", "gl.a", "camera.y"}));
  }
  {
    // A name inserted before its extension comes first, after it last.
    NameTrie trie;
    trie.Insert("ab", FakeRecord(0));
    trie.Insert("abc", FakeRecord(1));
    trie.Insert("xyz", FakeRecord(2));
    trie.Insert("xy", FakeRecord(3));
    EXPECT_EQ(trie.GetLeafNames(trie.GetRoot()),
              (std::vector<std::string>{"ab", "abc", "xyz", "xy"}));
  }
}

TEST(NameTrie, PrefixesLeavesAndCase) {
  NameTrie trie;
  trie.Insert("gl.far", FakeRecord(0));
  trie.Insert("gl.farclip", FakeRecord(1));
  trie.Insert("gl.near", FakeRecord(2));
  trie.Insert("gl.far", FakeRecord(3));  // duplicate: a second leaf
  trie.Insert("Gl.far", FakeRecord(4));

  TrieNode* leaf = trie.FindLeaf("gl.far");
  ASSERT_NE(leaf, nullptr);
  EXPECT_EQ(leaf, trie.Find("gl.far"));
  EXPECT_EQ(leaf->key, "gl.far");
  EXPECT_EQ(leaf->value, FakeRecord(0));  // the first of the duplicates
  ASSERT_NE(trie.FindLeaf("Gl.far"), nullptr);
  EXPECT_EQ(trie.FindLeaf("Gl.far")->value, FakeRecord(4));

  // A prefix that is no name gives the inner node of its last character.
  TrieNode* inner = trie.Find("gl.fa");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->kind, TrieNode::kInner);
  EXPECT_EQ(inner->ch, 'a');
  EXPECT_EQ(trie.FindLeaf("gl.fa"), nullptr);
  EXPECT_EQ(trie.GetLeafNames(inner),
            (std::vector<std::string>{"gl.far", "gl.farclip", "gl.far"}));

  EXPECT_EQ(trie.Find("x"), nullptr);         // no node for the first character
  EXPECT_EQ(trie.Find("gl.fax"), nullptr);    // nor for a later one
  EXPECT_EQ(trie.FindLeaf("GL.far"), nullptr);
}

// Order of two entries, stated without the trie: at the first position where
// their paths part, the element that was created first wins. An element is
// the inner child for the next character (created by the first name carrying
// that prefix) or the entry's own leaf (created when it was inserted).
TEST(NameTrie, RandomInsertionsMatchAPlainModel) {
  std::mt19937 random(12345);
  for (int round = 0; round < 50; ++round) {
    std::vector<std::string> names;
    const int count = 1 + static_cast<int>(random() % 30);
    for (int i = 0; i < count; ++i) {
      std::string name;
      const int length = static_cast<int>(random() % 5);
      for (int k = 0; k < length; ++k) name.push_back("ab.A"[random() % 4]);
      names.push_back(name);
    }
    NameTrie trie;
    std::map<std::string, int> firstWithPrefix;  // prefix -> first index
    for (int i = 0; i < count; ++i) {
      trie.Insert(names[i], FakeRecord(i));
      for (size_t k = 1; k <= names[i].size(); ++k) {
        firstWithPrefix.emplace(names[i].substr(0, k), i);
      }
    }
    auto created = [&](int entry, size_t depth) {
      const std::string& name = names[entry];
      return depth == name.size() ? entry : firstWithPrefix[name.substr(0, depth + 1)];
    };
    std::vector<int> expected(count);
    for (int i = 0; i < count; ++i) expected[i] = i;
    std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
      size_t depth = 0;
      while (depth < names[a].size() && depth < names[b].size() &&
             names[a][depth] == names[b][depth]) {
        ++depth;
      }
      return created(a, depth) < created(b, depth);
    });

    std::vector<TrieNode*> leaves = trie.GetLeaves(trie.GetRoot());
    ASSERT_EQ(leaves.size(), expected.size());
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(leaves[i]->value, FakeRecord(expected[i])) << "round " << round;
    }
    for (int i = 0; i < count; ++i) {
      if (names[i].empty()) continue;
      const int first = static_cast<int>(
          std::find(names.begin(), names.end(), names[i]) - names.begin());
      ASSERT_NE(trie.FindLeaf(names[i]), nullptr);
      EXPECT_EQ(trie.FindLeaf(names[i])->value, FakeRecord(first));
    }
  }
}

TEST(NameTrie, VeryLongNameIsFreedWithoutDeepRecursion) {
  NameTrie trie;
  const std::string name(300000, 'q');
  trie.Insert(name, FakeRecord(0));
  ASSERT_NE(trie.FindLeaf(name), nullptr);
  EXPECT_EQ(trie.GetLeaves(trie.GetRoot()).size(), 1u);
}

}  // namespace
