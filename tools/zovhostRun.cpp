// zovhost-run: the command-line host. Loads plug-in modules and runs host
// command lines from script files or standard input, printing what the
// host's script editor would show; the idle queue runs after every line (a
// block spread over several lines, such as a procedure, runs as one).
// Plug-ins are looked for in the --plugin-path folders, then beside the
// program itself, where a build puts the modules of its variant.
//
//   zovhost-run [--load MODULE]... [--plugin-path DIR]... [--script-path DIR]... [SCRIPT]...
//
// Exits with 0 when every line succeeded, 1 when some failed, 2 on bad usage.
#include <maya/MGlobal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zovhost/Application.h>

#include <climits>
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

/// Runs the lines of a stream; returns the number that failed. Lines that
/// leave a block open wait for the lines that close it.
unsigned int runStream(std::istream& in) {
  unsigned int failures = 0;
  std::string pending;
  std::string line;
  const auto run = [&]() {
    if (pending.find_first_not_of(" \t\r\n") != std::string::npos) {
      if (!zovhost::app::runLine(pending)) ++failures;
      zovhost::app::runIdleQueue();
    }
    pending.clear();
  };
  while (std::getline(in, line)) {
    pending += pending.empty() ? line : "\n" + line;
    if (!zovhost::app::needsMoreLines(pending)) run();
  }
  run();  // a block left open at the end is a syntax error of its own
  return failures;
}

bool isDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/// The folder holding this program.
std::string programFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  const std::string program(path, static_cast<size_t>(length));
  return program.substr(0, program.rfind('/'));
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

  const std::string beside = programFolder();
  if (!beside.empty()) zovhost::app::addPluginPath(beside);

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
    if (isDirectory(script)) {
      MGlobal::displayError(MString("Cannot run '") + script.c_str() + "': it is a folder, not a script");
      ++failures;
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
