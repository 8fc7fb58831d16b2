// The kaito command: dispatches to the commands and turns every failure into
// one line on standard error and a non-zero exit status.
#include <exception>
#include <new>

#include "kaito_version.h"
#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/cli/host_platform.h"

namespace {

int Dispatch(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageFailure("no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    WriteOut(kMainHelp);
    return 0;
  }
  if (command == "--version" || command == "-V") {
    WriteOut(std::string(KAITO_PRODUCT_NAME) + " " + KAITO_VERSION_TEXT + "\n");
    return 0;
  }
  struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>&);
    const char* help;
  };
  static const Command kCommands[] = {{"create", RunCreate, kCreateHelp},
                                      {"list", RunList, kListHelp},
                                      {"test", RunTest, kTestHelp},
                                      {"extract", RunExtract, kExtractHelp}};
  for (const Command& c : kCommands) {
    if (command != c.name) continue;
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& arg : rest) {
      if (arg == "--") break;
      if (arg == "--help" || arg == "-h") {
        WriteOut(c.help);
        return 0;
      }
    }
    return c.run(rest);
  }
  throw UsageFailure("unknown command '" + command + "'");
}

}  // namespace

int KaitoMain(const std::vector<std::string>& args) {
  try {
    int status = Dispatch(args);
    // Data lost on the way out (a full disk, a closed pipe) is a failure too.
    if (!FinishOutput()) throw CommandFailure("cannot write to standard output: " + SystemErrorText());
    return status;
  } catch (const UsageFailure& failure) {
    WriteErr("kaito: " + ForTerminal(failure.what()) + " (see kaito --help)\n");
    return 2;
  } catch (const CommandFailure& failure) {
    WriteErr("kaito: " + ForTerminal(failure.what()) + "\n");
    return 1;
  } catch (const std::bad_alloc&) {
    WriteErr("kaito: out of memory\n");
    return 1;
  } catch (const std::exception& failure) {
    WriteErr(std::string("kaito: ") + failure.what() + "\n");
    return 1;
  }
}

int main(int argc, char** argv) { return KaitoMain(ArgumentsAsUtf8(argc, argv)); }
