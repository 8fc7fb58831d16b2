// The kaito commands.  Each takes the arguments after its name, writes its
// results to standard output and answers the exit status; failures are thrown
// as CommandFailure or UsageFailure (cli_support.h).
#pragma once

#include <string>
#include <vector>

int RunCreate(const std::vector<std::string>& args);
int RunList(const std::vector<std::string>& args);
int RunTest(const std::vector<std::string>& args);
int RunExtract(const std::vector<std::string>& args);

// The help texts, also printed for a wrong command line.
extern const char* const kMainHelp;
extern const char* const kCreateHelp;
extern const char* const kListHelp;
extern const char* const kTestHelp;
extern const char* const kExtractHelp;

// The stub built into this program; size 0 when it was built without one.
extern const unsigned char kEmbeddedStub[];
extern const unsigned long kEmbeddedStubSize;

// The arguments after a command name, split into options and operands.
class ArgumentReader {
 public:
  explicit ArgumentReader(const std::vector<std::string>& args) : args_(args) {}
  bool Done() const { return index_ >= args_.size(); }
  // The next argument; options and operands alike.
  const std::string& Next() { return args_[index_++]; }
  // The value of an option that takes one ("--level 9" or "--level=9").
  std::string Value(const std::string& option);

 private:
  const std::vector<std::string>& args_;
  size_t index_ = 0;
};

// Splits "--name=value" into name and value (value empty when no '=').
bool SplitOption(const std::string& arg, std::string* name, std::string* value);
