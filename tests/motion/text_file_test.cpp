#include "motion/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

std::vector<std::string> all_lines(const std::string& text, bool* last_had_end) {
  LineReader reader(text);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.Next(&line)) lines.emplace_back(line);
  *last_had_end = reader.lastHadLineEnd();
  return lines;
}

TEST(TextFile, CrlfAndLfFilesReadAlikeAndLoneCarriageReturnsStay) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("crlf.txt"), "a b\r\n\r\nc\rd\r\nlast");
  testing_support::WriteFile(dir.File("lf.txt"), "a b\n\nc\rd\nlast");
  std::string crlf, lf;
  ASSERT_TRUE(ReadTextFile(dir.File("crlf.txt"), &crlf));
  ASSERT_TRUE(ReadTextFile(dir.File("lf.txt"), &lf));
  EXPECT_EQ(crlf, lf);

  bool last_had_end = true;
  const std::vector<std::string> expected = {"a b", "", "c\rd", "last"};
  EXPECT_EQ(all_lines(lf, &last_had_end), expected);
  EXPECT_FALSE(last_had_end);

  std::string missing = "x";
  EXPECT_FALSE(ReadTextFile(dir.File("absent.txt"), &missing));
  EXPECT_TRUE(missing.empty());
}

TEST(TextFile, WordsAreSeparatedByAnyWhiteSpace) {
  std::string_view rest = "  root\t1.5 \v-2e-3\r\n";
  std::string_view word;
  std::vector<std::string> words;
  while (NextWord(&rest, &word)) words.emplace_back(word);
  const std::vector<std::string> expected = {"root", "1.5", "-2e-3"};
  EXPECT_EQ(words, expected);
  EXPECT_TRUE(rest.empty());
}

}  // namespace
