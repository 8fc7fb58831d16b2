// --exclude globs match exactly what the help promises: * and ? stay within a
// folder level, ** crosses levels, sets match bytes, a bare pattern is tried
// on every name at any depth and a path pattern on the whole path.
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
