// Host commands about the host's own state, answered from its settings:
// upAxis, grid, window, modelEditor, optionVar, displayColor, and the
// commands whose only effect here is to be recorded (savePrefs, dynPref, ogs,
// refresh, textScrollList, showWindow, waitCursor), polyOptions' geometry
// display flag, plus print, warning, error and confirmDialog.
#include "commands/ActiveSelection.h"
#include "commands/ArgumentText.h"
#include "core/Logs.h"
#include "dg/NodeImpl.h"
#include "interpreter/HostArgs.h"
#include "interpreter/HostSettings.h"
#include "interpreter/ScriptValue.h"

#include <string>

namespace zovhost {

namespace {

HostSettings& settings() { return hostSettings(); }

MStatus upAxisCommand(HostCall& call, const HostArgs& args) {
  if (args.query()) {
    call.result.setString(settings().upAxis);
    return MS::kSuccess;
  }
  const std::string axis = args.value("axis");
  if (axis != "y" && axis != "z") {
    displayError("upAxis: the axis must be y or z");
    return MS::kFailure;
  }
  settings().upAxis = axis;
  return MS::kSuccess;
}

MStatus gridCommand(HostCall& call, const HostArgs& args) {
  if (args.query()) {
    call.result.setInt(settings().gridShown);
    return MS::kSuccess;
  }
  bool shown = true;
  if (args.has("toggle") && !parseBool(args.value("toggle"), shown)) {
    displayError("grid: -toggle needs a boolean");
    return MS::kFailure;
  }
  settings().gridShown = shown ? 1 : 0;
  return MS::kSuccess;
}

MStatus windowCommand(HostCall& call, const HostArgs& args) {
  if (!args.has("exists") || args.positional().size() != 1) {
    displayError("window: this host only answers -exists");
    return MS::kFailure;
  }
  call.result.setInt(settings().windows.count(args.positional()[0]) ? 1 : 0);
  return MS::kSuccess;
}

MStatus modelEditorCommand(HostCall& call, const HostArgs& args) {
  if (args.positional().size() != 1) {
    displayError("modelEditor: give one panel");
    return MS::kFailure;
  }
  const std::string& panel = args.positional()[0];
  if (args.query()) {
    const auto found = settings().panelRenderers.find(panel);
    call.result.setString(found == settings().panelRenderers.end() ? settings().defaultRenderer : found->second);
    return MS::kSuccess;
  }
  if (args.has("rendererName")) settings().panelRenderers[panel] = args.value("rendererName");
  return MS::kSuccess;
}

void setOptionVarResult(CommandResult& result, const std::string& value) {
  int integral = 0;
  double number = 0.0;
  if (parseInt(value, integral))
    result.setInt(integral);
  else if (parseDouble(value, number))
    result.setDouble(number);
  else
    result.setString(value);
}

MStatus optionVarCommand(HostCall& call, const HostArgs& args) {
  auto& vars = settings().optionVars;
  if (args.has("query")) {
    const auto found = vars.find(args.value("query"));
    // An option variable never set reads as 0.
    setOptionVarResult(call.result, found == vars.end() ? "0" : found->second);
    return MS::kSuccess;
  }
  if (args.has("exists")) {
    call.result.setInt(vars.count(args.value("exists")) ? 1 : 0);
    return MS::kSuccess;
  }
  if (args.has("remove")) vars.erase(args.value("remove"));
  for (const char* flag : {"intValue", "floatValue", "stringValue"})
    if (args.has(flag)) vars[args.values(flag)[0]] = args.values(flag)[1];
  return MS::kSuccess;
}

MStatus displayColorCommand(HostCall& call, const HostArgs& args) {
  const std::string state = args.has("active") ? "active" : "dormant";
  if (args.positional().empty()) {
    displayError("displayColor: give an item");
    return MS::kFailure;
  }
  const std::string key = state + " " + args.positional()[0];
  if (args.query()) {
    const auto found = settings().displayColors.find(key);
    call.result.setInt(found == settings().displayColors.end() ? 0 : found->second);
    return MS::kSuccess;
  }
  int index = 0;
  if (args.positional().size() != 2 || !parseInt(args.positional()[1], index)) {
    displayError("displayColor: give an item and a colour index");
    return MS::kFailure;
  }
  settings().displayColors[key] = index;
  return MS::kSuccess;
}

/// Commands whose effect lies in the host's user interface: they succeed and are recorded.
MStatus acceptedCommand(HostCall&) { return MS::kSuccess; }

/// The mesh shapes of the active selection: selected meshes, and the meshes
/// directly under selected transforms.
std::vector<std::string> selectedMeshNames() {
  std::vector<std::string> names;
  for (unsigned int i = 0; i < activeSelection().length(); ++i) {
    MObject object;
    activeSelection().getDependNode(i, object);
    const std::shared_ptr<NodeImpl> node = nodeOf(object);
    if (!node) continue;
    if (node->hasFn(MFn::kMesh)) names.push_back(node->name);
    if (node->hasFn(MFn::kTransform))
      for (const NodeImpl* child : node->dagChildren)
        if (child->hasFn(MFn::kMesh)) names.push_back(child->name);
  }
  return names;
}

/// polyOptions [-q] -dg [BOOL]: whether the selected meshes show their
/// geometry; the query answers for the first of them.
MStatus polyOptionsCommand(HostCall& call, const HostArgs& args) {
  const std::vector<std::string> meshes = selectedMeshNames();
  if (args.query()) {
    if (meshes.empty()) {
      displayError("polyOptions: select a mesh to query");
      return MS::kFailure;
    }
    const auto found = settings().meshDisplaysGeometry.find(meshes.front());
    call.result.setInt(found == settings().meshDisplaysGeometry.end() || found->second ? 1 : 0);
    return MS::kSuccess;
  }
  if (!args.has("displayGeometry")) return MS::kSuccess;
  bool shown = true;
  if (!parseBool(args.value("displayGeometry"), shown)) {
    displayError("polyOptions: -displayGeometry needs a boolean");
    return MS::kFailure;
  }
  for (const std::string& mesh : meshes) settings().meshDisplaysGeometry[mesh] = shown;
  return MS::kSuccess;
}

/// A word as print writes it: a number written in the script (not quoted)
/// as the host writes numbers, anything else as it is.
std::string printedWord(const Word& word) {
  double value = 0.0;
  if (!word.quoted && parseDouble(word.text, value)) return shortestNumber(value);
  return word.text;
}

/// print writes its value; an array one element a line.
MStatus printCommand(HostCall& call) {
  std::string text;
  for (const Word& word : call.call.words) text += printedWord(word) + (word.element ? "\n" : "");
  messageLog().message(MessageKind::Print, text);
  return MS::kSuccess;
}

std::string joinPositional(const HostArgs& args) {
  std::string text;
  for (const std::string& word : args.positional()) text += word;
  return text;
}

MStatus warningCommand(HostCall&, const HostArgs& args) {
  displayWarning(joinPositional(args));
  return MS::kSuccess;
}

MStatus errorCommand(HostCall&, const HostArgs& args) {
  displayError(joinPositional(args));
  return MS::kFailure;
}

MStatus confirmDialogCommand(HostCall& call, const HostArgs& args) {
  // Nobody answers a dialog here: it is shown in the log and takes its default.
  displayInfo(args.value("title") + ": " + args.value("message"));
  call.result.setString(args.value("defaultButton", args.value("button")));
  return MS::kSuccess;
}

}  // namespace

void addQueryCommands(Interpreter& interpreter) {
  addFlaggedCommands(
      interpreter,
      {{"upAxis", upAxisCommand, {{"q", "query", 0, 0}, {"ax", "axis", 1, 0}}},
       {"grid", gridCommand, {{"q", "query", 0, 0}, {"tgl", "toggle", 1, 0}}},
       {"window", windowCommand, {{"ex", "exists", 0, 0}}},
       {"modelEditor", modelEditorCommand, {{"q", "query", 0, 0}, {"e", "edit", 0, 0}, {"rnm", "rendererName", 1, 0}}},
       {"optionVar",
        optionVarCommand,
        {{"q", "query", 1, 1},
         {"ex", "exists", 1, 1},
         {"rm", "remove", 1, 1},
         {"iv", "intValue", 2, 2},
         {"fv", "floatValue", 2, 2},
         {"sv", "stringValue", 2, 2}}},
       {"displayColor",
        displayColorCommand,
        {{"q", "query", 0, 0}, {"dormant", "dormant", 0, 0}, {"active", "active", 0, 0}}},
       {"polyOptions", polyOptionsCommand, {{"q", "query", 0, 0}, {"dg", "displayGeometry", 1, 0}}},
       {"warning", warningCommand, {{"nc", "noContext", 0, 0}, {"sl", "showLineNumber", 1, 1}}},
       {"error", errorCommand, {{"nc", "noContext", 0, 0}, {"sl", "showLineNumber", 1, 1}}},
       {"confirmDialog",
        confirmDialogCommand,
        {{"t", "title", 1, 1},
         {"m", "message", 1, 1},
         {"b", "button", 1, 1},
         {"db", "defaultButton", 1, 1},
         {"cb", "cancelButton", 1, 1},
         {"ds", "dismissString", 1, 1},
         {"ma", "messageAlign", 1, 1}}}});
  interpreter.addHostCommands({{"savePrefs", acceptedCommand},
                               {"dynPref", acceptedCommand},
                               {"ogs", acceptedCommand},
                               {"refresh", acceptedCommand},
                               {"textScrollList", acceptedCommand},
                               {"showWindow", acceptedCommand},
                               {"waitCursor", acceptedCommand},
                               {"print", printCommand}});
}

}  // namespace zovhost
