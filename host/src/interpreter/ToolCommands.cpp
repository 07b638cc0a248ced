// Host commands of the tools:
//   setToolTo name                    makes a tool current (a context a
//                                     context command made, or the host's
//                                     own "selectSuperContext")
//   currentCtx                        answers the current tool's name
//   viewEvent -press|-drag|-hold|-release [-shift] [-control] x y
//                                     hands the current tool a mouse event
//                                     at port pixel (x, y), origin at the
//                                     bottom left, as a user's mouse would
#include <maya/MEvent.h>
#include <maya/MPxContext.h>

#include "commands/ArgumentText.h"
#include "commands/CommandRegistry.h"
#include "core/Logs.h"
#include "interpreter/HostArgs.h"

#include <limits>
#include <string>

namespace zovhost {

namespace {

MStatus setToolToCommand(HostCall&, const HostArgs& args) {
  if (args.positional().size() != 1) {
    displayError("setToolTo: give one tool");
    return MS::kFailure;
  }
  const std::string& name = args.positional()[0];
  if (!commandRegistry().setCurrentTool(name)) {
    displayError("setToolTo: Object '" + name + "' not found.");
    return MS::kFailure;
  }
  return MS::kSuccess;
}

MStatus currentCtxCommand(HostCall& call, const HostArgs&) {
  call.result.setString(commandRegistry().currentTool());
  return MS::kSuccess;
}

/// A port coordinate: a whole number that a short holds, not negative.
bool parseCoordinate(const std::string& word, short& value) {
  int number = 0;
  if (!parseInt(word, number) || number < 0 || number > std::numeric_limits<short>::max()) return false;
  value = static_cast<short>(number);
  return true;
}

MStatus viewEventCommand(HostCall&, const HostArgs& args) {
  const char* const kinds[] = {"press", "drag", "hold", "release"};
  int kind = -1, given = 0;
  for (int k = 0; k < 4; ++k)
    if (args.has(kinds[k])) {
      kind = k;
      ++given;
    }
  if (given != 1) {
    displayError("viewEvent: give one of -press, -drag, -hold and -release");
    return MS::kFailure;
  }
  short x = 0, y = 0;
  if (args.positional().size() != 2 || !parseCoordinate(args.positional()[0], x) ||
      !parseCoordinate(args.positional()[1], y)) {
    displayError("viewEvent: give the position as two whole numbers of pixels, not negative");
    return MS::kFailure;
  }
  MPxContext* tool = commandRegistry().currentContext();
  if (tool == nullptr) {
    displayError("viewEvent: the current tool '" + commandRegistry().currentTool() + "' takes no scripted events");
    return MS::kFailure;
  }
  const int modifiers = (args.has("shift") ? MEvent::shiftKey : 0) | (args.has("control") ? MEvent::controlKey : 0);
  MEvent event(x, y, modifiers);
  switch (kind) {
    case 0:
      return tool->doPress(event);
    case 1:
      return tool->doDrag(event);
    case 2:
      return tool->doHold(event);
    default:
      return tool->doRelease(event);
  }
}

}  // namespace

void addToolCommands(Interpreter& interpreter) {
  addFlaggedCommands(interpreter, {{"viewEvent",
                                    viewEventCommand,
                                    {{"p", "press", 0, 0},
                                     {"d", "drag", 0, 0},
                                     {"h", "hold", 0, 0},
                                     {"r", "release", 0, 0},
                                     {"sh", "shift", 0, 0},
                                     {"ctl", "control", 0, 0}}},
                                   {"setToolTo", setToolToCommand, {}},
                                   {"currentCtx", currentCtxCommand, {}}});
}

}  // namespace zovhost
