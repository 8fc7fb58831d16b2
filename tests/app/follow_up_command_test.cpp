// The follow-up program's command line is its pieces quoted and joined as
// they are: nothing escaped, nothing added, nothing cut.
#include <gtest/gtest.h>

#include "command_line_compose.h"

TEST(FollowUpCommandLine, IsTheNinePiecesWithNothingEscaped) {
  EXPECT_EQ(Compose("C:\\TEMP\\", "SETUP.EXE", "D:\\DL\\PKG.EXE", "-s"),
            "\"C:\\TEMP\\SETUP.EXE\" /vrek:\"D:\\DL\\PKG.EXE\" -s");
  EXPECT_EQ(Compose("C:\\TEMP\\", "SETUP.EXE", "D:\\DL\\PKG.EXE", ""),
            "\"C:\\TEMP\\SETUP.EXE\" /vrek:\"D:\\DL\\PKG.EXE\"");
  EXPECT_EQ(Compose("C:\\My Files\\", "SUB\\A B.EXE", "D:\\x y\\P.EXE", "\"q\" -a  -b "),
            "\"C:\\My Files\\SUB\\A B.EXE\" /vrek:\"D:\\x y\\P.EXE\" \"q\" -a  -b ");
  // Text from behind "--" on the stub's own command line comes last, as it stands.
  EXPECT_EQ(Compose("C:\\T\\", "S.EXE", "D:\\P.EXE", "-s", "/norestart \"x y\""),
            "\"C:\\T\\S.EXE\" /vrek:\"D:\\P.EXE\" -s /norestart \"x y\"");
  EXPECT_EQ(Compose("C:\\T\\", "S.EXE", "D:\\P.EXE", "", "-q"), "\"C:\\T\\S.EXE\" /vrek:\"D:\\P.EXE\" -q");
}

TEST(FollowUpCommandLine, LongPiecesAreCountedWhole) {
  // Past the fixed 792-byte buffer the launcher takes a heap buffer of this length.
  std::string dir = "C:\\" + std::string(300, 'd') + "\\";
  std::string program = "D:\\" + std::string(500, 'p') + ".EXE";
  std::string line = Compose(dir.c_str(), "SETUP.EXE", program.c_str(), "-s");
  EXPECT_EQ(line.size(), 1 + dir.size() + 9 + 1 + 7 + 1 + program.size() + 1 + 3);
  EXPECT_GT(line.size(), size_t{kFollowUpCommandLineSize});
}
