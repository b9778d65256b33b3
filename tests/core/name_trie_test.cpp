#include "core/name_trie.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/console_variable.h"

namespace {

using Names = std::vector<std::string>;

// A trie holding `names` inserted in that order, name i pointing at record i
// (the trie only stores and returns the pointers).
CVarRecord g_records[8];
void InsertAll(NameTrie* trie, const Names& names) {
  for (size_t i = 0; i < names.size(); ++i) trie->Insert(names[i], &g_records[i]);
}

TEST(NameTrie, LeavesComeInTheOrderOfFirstInsertion) {
  for (const auto& [inserted, listed] : std::vector<std::pair<Names, Names>>{
           {{"gl.x", "camera.y", "gl.a"}, {"gl.x", "gl.a", "camera.y"}},  // first and third share "gl."
           {{"ab", "abc", "xyz", "xy"}, {"ab", "abc", "xyz", "xy"}},  // a name before its extension first, after it last
           {{"b", ""}, {"b", ""}}}) {  // the empty name's leaf hangs under the root, after earlier names
    NameTrie trie;
    InsertAll(&trie, inserted);
    EXPECT_EQ(trie.GetLeafNames(trie.GetRoot()), listed);
  }
}

TEST(NameTrie, FindPrefixesLeavesCaseAndLongNames) {
  NameTrie trie;
  EXPECT_TRUE(trie.Find("a") == nullptr && trie.GetLeaves(trie.GetRoot()).empty() && trie.GetLeaves(nullptr).empty());
  // Inserted twice, "gl.far" has two leaves; "" is inserted but never found.
  InsertAll(&trie, {"gl.far", "gl.farclip", "gl.near", "gl.far", "Gl.far", ""});
  TrieNode* leaf = trie.FindLeaf("gl.far");
  ASSERT_TRUE(leaf != nullptr && leaf == trie.Find("gl.far"));
  // The first of the duplicates; case matters.
  EXPECT_TRUE(leaf->value == &g_records[0] && trie.FindLeaf("Gl.far")->value == &g_records[4]);
  EXPECT_EQ(trie.Find(""), trie.GetRoot());
  for (const char* missing : {"GL.far", "", "gl.fa"}) EXPECT_EQ(trie.FindLeaf(missing), nullptr) << missing;
  // A prefix that is no name gives the inner node of its last character.
  TrieNode* inner = trie.Find("gl.fa");
  ASSERT_TRUE(inner != nullptr && inner->kind == TrieNode::kInner && inner->ch == 'a');
  EXPECT_EQ(trie.GetLeafNames(inner), (Names{"gl.far", "gl.farclip", "gl.far"}));
  EXPECT_TRUE(trie.Find("x") == nullptr && trie.Find("gl.fax") == nullptr);
  // A very long name is walked and freed without deep recursion.
  const std::string name(300000, 'q');
  trie.Insert(name, &g_records[7]);
  EXPECT_EQ(trie.GetLeafNames(trie.Find("q")), Names{name});
}

}  // namespace
