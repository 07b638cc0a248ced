// zovhost-run: the command-line host. Loads plug-in modules and runs host
// command lines from script files or standard input, printing what the
// host's script editor would show; the idle queue runs after every line.
//
//   zovhost-run [--load MODULE]... [--plugin-path DIR]... [--script-path DIR]... [SCRIPT]...
//
// Exits with 0 when every line succeeded, 1 when some failed, 2 on bad usage.
#include <maya/MGlobal.h>
#include <zovhost/Application.h>

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void usage() {
  std::cerr << "usage: zovhost-run [--load MODULE]... [--plugin-path DIR]... [--script-path DIR]... [SCRIPT]...\n"
               "Runs host command lines from each SCRIPT, or from standard input when none is given.\n";
}

/// Runs the lines of a stream; returns the number that failed.
unsigned int runStream(std::istream& in) {
  unsigned int failures = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    if (!zovhost::app::runLine(line)) ++failures;
    zovhost::app::runIdleQueue();
  }
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> modules;
  std::vector<std::string> scripts;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool takesValue = argument == "--load" || argument == "--plugin-path" || argument == "--script-path";
    if (takesValue && i + 1 >= argc) {
      usage();
      return kExitUsage;
    }
    if (argument == "--load")
      modules.push_back(argv[++i]);
    else if (argument == "--plugin-path")
      zovhost::app::addPluginPath(argv[++i]);
    else if (argument == "--script-path")
      zovhost::app::addScriptPath(argv[++i]);
    else if (argument == "-h" || argument == "--help") {
      usage();
      return 0;
    } else if (!argument.empty() && argument[0] == '-' && argument != "-") {
      usage();
      return kExitUsage;
    } else {
      scripts.push_back(argument);
    }
  }

  unsigned int failures = 0;
  for (const std::string& module : modules) {
    if (!zovhost::app::runLine("loadPlugin \"" + module + "\"")) ++failures;
    zovhost::app::runIdleQueue();
  }
  if (scripts.empty()) scripts.push_back("-");
  for (const std::string& script : scripts) {
    if (script == "-") {
      failures += runStream(std::cin);
      continue;
    }
    std::ifstream in(script);
    if (!in) {
      MGlobal::displayError(MString("Cannot open script '") + script.c_str() + "'");
      ++failures;
      continue;
    }
    failures += runStream(in);
  }
  zovhost::app::exitHost();
  return failures == 0 ? 0 : kExitFailure;
}
