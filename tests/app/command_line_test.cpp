// The stub's own command line: every switch form an administrator or a
// deployment tool writes is read as meant, and every malformed or hostile
// line gets a defined verdict without touching anything past its end.
#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"

namespace {

struct Parsed {
  CommandLineVerdict verdict;
  StubSwitches switches;
};

// The arguments behind a program path with a space, as the system hands them over.
Parsed Parse(const std::string& arguments) {
  static std::string line;  // followUpExtra points into it
  line = "\"C:\\Users\\x y\\setup.exe\" " + arguments;
  Parsed parsed;
  parsed.verdict = ParseStubCommandLine(line.c_str(), IsShiftJisLeadByte, &parsed.switches);
  return parsed;
}

TEST(StubCommandLine, SwitchesInWindowsStyle) {
  Parsed p = Parse("");
  EXPECT_EQ(p.verdict, CommandLineVerdict::Run);
  EXPECT_EQ(p.switches.ui, UiLevel::Full);
  EXPECT_STREQ(p.switches.destination, "");
  EXPECT_STREQ(p.switches.followUpExtra, "");

  p = Parse("-x /l=C:\\logs\\run.log  /s\t/D=C:/Apps/My");
  EXPECT_EQ(p.verdict, CommandLineVerdict::Run);
  EXPECT_EQ(p.switches.ui, UiLevel::Silent);
  EXPECT_TRUE(p.switches.extractOnly);
  EXPECT_STREQ(p.switches.logPath, "C:\\logs\\run.log");
  EXPECT_STREQ(p.switches.destination, "C:\\Apps\\My\\") << "slashes turned, a backslash added";

  // Quotes around the value or the whole switch; a quoted folder may end in
  // a backslash; a repeated switch counts as given last, /S and /P alike.
  for (const char* form : {"/D=\"C:\\Program Files\\My App\"", "\"/D=C:\\Program Files\\My App\\\""}) {
    p = Parse(std::string("/P /D=D:\\old /S ") + form + " /p");
    EXPECT_EQ(p.verdict, CommandLineVerdict::Run) << form;
    EXPECT_STREQ(p.switches.destination, "C:\\Program Files\\My App\\") << form;
    EXPECT_EQ(p.switches.ui, UiLevel::Passive);
  }
  p = Parse("/D=\\\\server\\share\\apps");
  EXPECT_STREQ(p.switches.destination, "\\\\server\\share\\apps\\");

  EXPECT_EQ(Parse("/?").verdict, CommandLineVerdict::ShowHelp);
  EXPECT_EQ(Parse("-h /S").verdict, CommandLineVerdict::ShowHelp);
  EXPECT_EQ(Parse("/H /bogus").verdict, CommandLineVerdict::BadSwitch) << "a fault outweighs help";
}

TEST(StubCommandLine, TextAfterDoubleDashGoesToTheFollowUpProgramAsItStands) {
  Parsed p = Parse("/S --   /norestart \"INSTALLDIR=C:\\x y\" /D=relative");
  EXPECT_EQ(p.verdict, CommandLineVerdict::Run);
  EXPECT_STREQ(p.switches.followUpExtra, "/norestart \"INSTALLDIR=C:\\x y\" /D=relative");
  EXPECT_STREQ(p.switches.destination, "") << "switches behind -- are not the stub's";
  EXPECT_STREQ(Parse("/X --").switches.followUpExtra, "");
}

TEST(StubCommandLine, MalformedLinesAreRefused) {
  for (const char* bad : {"/Q", "setup", "--help", "/SX", "/S=1", "/D", "/D=", "/L=", "/D:C:\\x",
                          "/D=relative\\dir", "/D=\\rooted", "/D=C:dir", "/D=C:\\a:b",
                          "/D=C:\\a<b", "/D=C:\\a|b", "/D=\\\\.\\pipe\\x", "/D=\\\\?\\C:\\x",
                          "/D=\"C:\\unbalanced", "/S \"", "\"\"", "/", "-"}) {
    Parsed p = Parse(bad);
    EXPECT_EQ(p.verdict, CommandLineVerdict::BadSwitch) << bad;
  }
  // /S anywhere is still seen, so that the switch list stays hidden.
  Parsed p = Parse("/bogus /S");
  EXPECT_EQ(p.verdict, CommandLineVerdict::BadSwitch);
  EXPECT_EQ(p.switches.ui, UiLevel::Silent);
}

TEST(StubCommandLine, PathLimitsAndLongLines) {
  std::string folder = "C:\\" + std::string(kSwitchPathMaxLength - 3, 'a');  // 259 bytes
  Parsed p = Parse("/D=" + folder);
  ASSERT_EQ(p.verdict, CommandLineVerdict::Run);
  EXPECT_EQ(std::string(p.switches.destination), folder + "\\");
  EXPECT_EQ(Parse("/D=" + folder + "b").verdict, CommandLineVerdict::PathTooLong);
  EXPECT_EQ(Parse("/L=" + folder + "b").verdict, CommandLineVerdict::PathTooLong);

  // A 32 KiB line: one huge switch, then many small ones.
  EXPECT_EQ(Parse("/D=C:\\" + std::string(32760, 'x')).verdict, CommandLineVerdict::PathTooLong);
  std::string many;
  while (many.size() < 32768) many += "/S /x -P ";
  p = Parse(many);
  EXPECT_EQ(p.verdict, CommandLineVerdict::Run);
  EXPECT_EQ(p.switches.ui, UiLevel::Passive);
}

TEST(StubCommandLine, DoubleByteFoldersAreSteppedByCharacter) {
  // "ソ" is 0x83 0x5C: its second byte is no backslash, so one is appended.
  Parsed p = Parse("/D=C:\\\x83\x5C");
  ASSERT_EQ(p.verdict, CommandLineVerdict::Run);
  EXPECT_STREQ(p.switches.destination, "C:\\\x83\x5C\\");
  // "魅" is 0x96 0x7C: a trail byte '|' is part of the name.
  EXPECT_EQ(Parse("/D=C:\\\x96\x7C").verdict, CommandLineVerdict::Run);
  EXPECT_EQ(Parse("/D=C:\\\x83").verdict, CommandLineVerdict::BadSwitch) << "half a character";
  EXPECT_EQ(Parse("/D=C:\\\xE4/x").verdict, CommandLineVerdict::BadSwitch) << "a lead byte before '/'";
}

TEST(StubCommandLine, ProgramPathIsSkippedAsTheSystemSplitsIt) {
  StubSwitches switches;
  EXPECT_EQ(ParseStubCommandLine("C:\\dl\\setup.exe /S", IsShiftJisLeadByte, &switches),
            CommandLineVerdict::Run);
  EXPECT_EQ(switches.ui, UiLevel::Silent);
  EXPECT_EQ(ParseStubCommandLine("\"C:\\a /Q\\setup.exe\"", IsShiftJisLeadByte, &switches),
            CommandLineVerdict::Run);
  EXPECT_EQ(ParseStubCommandLine("\"C:\\unterminated /S", IsShiftJisLeadByte, &switches),
            CommandLineVerdict::Run);
  EXPECT_EQ(switches.ui, UiLevel::Full);
  EXPECT_EQ(ParseStubCommandLine("", IsShiftJisLeadByte, &switches), CommandLineVerdict::Run);
}

}  // namespace
