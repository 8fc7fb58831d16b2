// --exclude globs (and extract's ENTRY patterns) match exactly what the help
// promises: * and ? stay within a folder level, ** crosses levels, sets match
// characters, letters match in either case as Windows matches names, a bare
// pattern is tried on every name at any depth and a path pattern on the whole
// path.
#include "tools/cli/exclude_patterns.h"

#include <gtest/gtest.h>

TEST(GlobMatch, StarAndQuestionStayWithinOneFolder) {
  EXPECT_TRUE(GlobMatch("*.o", "main.o"));
  EXPECT_FALSE(GlobMatch("*.o", "main.obj"));
  EXPECT_FALSE(GlobMatch("*.o", "dir/main.o"));
  EXPECT_TRUE(GlobMatch("a?c", "abc"));
  EXPECT_FALSE(GlobMatch("a?c", "a/c"));
  EXPECT_FALSE(GlobMatch("a?c", "ac"));
  // ? takes a whole UTF-8 character.
  EXPECT_TRUE(GlobMatch("?.txt", "日.txt"));
  EXPECT_TRUE(GlobMatch("*", ""));
  EXPECT_TRUE(GlobMatch("a*b*c", "aXXbYYc"));
  EXPECT_FALSE(GlobMatch("a*b*c", "aXXbYY"));
}

TEST(GlobMatch, DoubleStarCrossesFolders) {
  EXPECT_TRUE(GlobMatch("pkg/**", "pkg/a/b/c.txt"));
  EXPECT_TRUE(GlobMatch("**/*.md", "a/b/readme.md"));
  EXPECT_TRUE(GlobMatch("a/**/b", "a/b"));
  EXPECT_TRUE(GlobMatch("a/**/b", "a/x/y/b"));
  EXPECT_FALSE(GlobMatch("a/**/b", "a/x/y/c"));
  EXPECT_FALSE(GlobMatch("pkg/*", "pkg/a/b"));
}

TEST(GlobMatch, BracketSets) {
  EXPECT_TRUE(GlobMatch("file[0-9].txt", "file7.txt"));
  EXPECT_FALSE(GlobMatch("file[0-9].txt", "fileX.txt"));
  EXPECT_TRUE(GlobMatch("file[!0-9].txt", "fileX.txt"));
  EXPECT_FALSE(GlobMatch("file[!0-9].txt", "file7.txt"));
  EXPECT_TRUE(GlobMatch("[]x]", "]"));
  // An unclosed '[' is an ordinary character.
  EXPECT_TRUE(GlobMatch("a[b", "a[b"));
}

TEST(GlobMatch, LettersMatchInEitherCaseAsOnWindows) {
  EXPECT_TRUE(GlobMatch("*.pdb", "top.PDB"));
  EXPECT_TRUE(GlobMatch("README.*", "readme.txt"));
  EXPECT_TRUE(GlobMatch("[a-c]x", "Bx"));
  EXPECT_FALSE(GlobMatch("[!a-c]x", "Bx"));
  // Beyond ASCII: full-width Latin, Greek and Cyrillic letters have cases too.
  EXPECT_TRUE(GlobMatch("ａｂ*", "ＡＢＣ"));
  EXPECT_TRUE(GlobMatch("Ω", "ω"));
  EXPECT_TRUE(GlobMatch("ЁЖ", "ёж"));
  EXPECT_FALSE(GlobMatch("a", "ａ"));
}

TEST(GlobMatch, SetsHoldCharactersNotBytes) {
  // 日 and 本 share their first UTF-8 byte; a set of bytes took one for the other.
  EXPECT_TRUE(GlobMatch("[日]*", "日本.txt"));
  EXPECT_FALSE(GlobMatch("[日]*", "本本.txt"));
  EXPECT_TRUE(GlobMatch("[!日]*", "本本.txt"));
  EXPECT_TRUE(GlobMatch("[あ-ん].txt", "の.txt"));
  EXPECT_FALSE(GlobMatch("[あ-ん].txt", "ア.txt"));
}

TEST(NamePattern, EmptyPatternsNameNothingAndFoldersHoldTheirEntries) {
  NamePattern pattern;
  EXPECT_FALSE(pattern.Parse(""));
  EXPECT_FALSE(pattern.Parse("/"));
  EXPECT_FALSE(pattern.Parse("./"));
  ASSERT_TRUE(pattern.Parse("PKG/Docs"));
  EXPECT_TRUE(pattern.MatchesOrHolds("pkg\\docs\\a.md"));
  EXPECT_TRUE(pattern.MatchesOrHolds("pkg\\docs"));
  EXPECT_FALSE(pattern.MatchesOrHolds("pkg\\docs2\\a.md"));
  EXPECT_FALSE(pattern.MatchesOrHolds("other\\pkg\\docs\\a.md"));
}

TEST(ExcludePatterns, BarePatternsMatchAnyLevelPathPatternsTheWholePath) {
  ExcludePatterns patterns;
  patterns.Add(".git");
  patterns.Add("pkg\\docs\\*.md");
  patterns.Add("./build/");
  EXPECT_TRUE(patterns.Excludes("pkg\\.git"));
  EXPECT_TRUE(patterns.Excludes(".git"));
  EXPECT_FALSE(patterns.Excludes("pkg\\.github"));
  EXPECT_TRUE(patterns.Excludes("pkg\\docs\\a.md"));
  EXPECT_FALSE(patterns.Excludes("other\\pkg\\docs\\a.md"));
  EXPECT_FALSE(patterns.Excludes("pkg\\docs\\sub\\a.md"));
  EXPECT_TRUE(patterns.Excludes("build"));
  EXPECT_FALSE(patterns.Excludes("pkg\\build"));
}
