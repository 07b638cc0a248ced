// The host command that runs a script file: source.
#include "core/Files.h"
#include "core/Logs.h"
#include "interpreter/HostSettings.h"
#include "interpreter/Interpreter.h"

namespace zovhost {

namespace {

MStatus sourceCommand(HostCall& call) {
  if (call.call.words.size() != 1) {
    displayError("source: give one file");
    return MS::kFailure;
  }
  const std::string name = call.call.words[0].text;
  std::string path = name;
  if (!fileExists(path))
    for (const std::string& folder : hostSettings().scriptPath)
      if (fileExists(folder + "/" + name)) {
        path = folder + "/" + name;
        break;
      }
  std::string text;
  if (!fileExists(path) || !readFile(path, text)) {
    displayError("Cannot find file \"" + name + "\" for source statement.");
    return MS::kFailure;
  }
  const Interpreter::Nesting nesting(hostInterpreter(), path);
  if (!nesting) {
    displayError(nesting.reentered() ? "source: \"" + name + "\" is being sourced already: it sources itself"
                                     : "source: Scripts nested too deeply, sourcing \"" + name + "\"");
    return MS::kFailure;
  }
  ExecuteOptions options;
  options.undoEnabled = call.undoEnabled;
  options.origin = "script";
  return hostInterpreter().execute(text, call.result, options);
}

}  // namespace

void addSourceCommand(Interpreter& interpreter) { interpreter.addHostCommand("source", sourceCommand); }

}  // namespace zovhost
