#include "motion/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

TEST(TextFile, CrlfAndLfFilesReadAlikeAndLoneCarriageReturnsStay) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("crlf.txt"), "a b\r\n\r\nc\rd\r\nlast");
  testing_support::WriteFile(dir.File("lf.txt"), "a b\n\nc\rd\nlast");
  std::string crlf, lf;
  ASSERT_TRUE(ReadTextFile(dir.File("crlf.txt"), &crlf));
  ASSERT_TRUE(ReadTextFile(dir.File("lf.txt"), &lf));
  EXPECT_EQ(crlf, lf);

  LineReader reader(lf);
  std::vector<std::string> lines;
  for (std::string_view line; reader.Next(&line);) lines.emplace_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"a b", "", "c\rd", "last"}));
  EXPECT_FALSE(reader.lastHadLineEnd());

  std::string missing = "x";
  EXPECT_FALSE(ReadTextFile(dir.File("absent.txt"), &missing));
  EXPECT_TRUE(missing.empty());
}

TEST(TextFile, WordsAreSeparatedByAnyWhiteSpace) {
  std::string_view rest = "  root\t1.5 \v-2e-3\r\n";
  std::vector<std::string> words;
  for (std::string_view word; NextWord(&rest, &word);) words.emplace_back(word);
  EXPECT_EQ(words, (std::vector<std::string>{"root", "1.5", "-2e-3"}));
  EXPECT_TRUE(rest.empty());
}

}  // namespace
