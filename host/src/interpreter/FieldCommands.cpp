// Host commands that make dynamics fields: uniform and gravity. Each makes
// a field at the top of the hierarchy and answers its name.
#include <maya/MDistance.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>

#include "commands/ArgumentText.h"
#include "core/Logs.h"
#include "dag/DagNode.h"
#include "dag/TransformNode.h"
#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "interpreter/HostArgs.h"

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zovhost {

namespace {

MStatus makeField(HostCall& call, const HostArgs& args, const char* type) {
  const std::string command = call.call.name;
  if (!args.positional().empty()) {
    displayError(command + ": unexpected argument '" + args.positional().front() + "'");
    return MS::kFailure;
  }
  // Every value is read before anything is made.
  struct Setting {
    const char* flag;
    const char* attribute;
    bool length;
  };
  const Setting settings[] = {{"magnitude", "magnitude", false},
                              {"directionX", "directionX", false},
                              {"directionY", "directionY", false},
                              {"directionZ", "directionZ", false},
                              {"maxDistance", "maxDistance", true}};
  std::vector<std::pair<const Setting*, double>> values;
  for (const Setting& setting : settings) {
    if (!args.has(setting.flag)) continue;
    double value = 0.0;
    if (!parseDouble(args.value(setting.flag), value) || !std::isfinite(value)) {
      displayError(command + ": -" + setting.flag + " needs a number");
      return MS::kFailure;
    }
    values.emplace_back(&setting, setting.length && value >= 0.0 ? MDistance::uiToInternal(value) : value);
  }
  double position[3] = {0.0, 0.0, 0.0};
  const auto& words = args.values("position");
  for (size_t i = 0; i < words.size(); ++i)
    if (!parseDouble(words[i], position[i]) || !std::isfinite(position[i])) {
      displayError(command + ": -position needs three numbers");
      return MS::kFailure;
    }
  const std::string name = args.value("name");
  if (!name.empty() && !Graph::isValidName(name)) {
    displayError(command + ": invalid name '" + name + "'");
    return MS::kFailure;
  }

  MStatus status;
  const auto field = createDagNode(nodeTypeRegistry().find(type), nullptr, name, nullptr, &status);
  if (!field) {
    displayError(command + ": the field could not be made");
    return MS::kFailure;
  }
  const MObject node(field);
  for (const auto& [setting, value] : values) MFnDependencyNode(node).findPlug(setting->attribute).setValue(value);
  const MPlug translate(node, TransformNode::translate);
  for (unsigned int i = 0; i < 3; ++i) translate.child(i).setValue(MDistance::uiToInternal(position[i]));
  if (args.has("maxDistance")) MFnDependencyNode(node).findPlug("useMaxDistance").setValue(true);

  auto removal = std::make_shared<NodeRemoval>();
  recordUndo(call, std::make_unique<FunctionEntry>(
                       command, [field, removal]() { sceneGraph().remove(field, removal.get(), true); },
                       [removal]() { sceneGraph().restore(*removal); }));
  call.result.setString(field->name);
  return MS::kSuccess;
}

MStatus uniformCommand(HostCall& call, const HostArgs& args) { return makeField(call, args, "uniformField"); }
MStatus gravityCommand(HostCall& call, const HostArgs& args) { return makeField(call, args, "gravityField"); }

/// The flags of both field commands (made on each call: the host's
/// commands may be registered before this file's statics are).
std::vector<HostFlag> fieldFlags() {
  return {{"pos", "position", 3, 0},  {"m", "magnitude", 1, 0},   {"dx", "directionX", 1, 0},
          {"dy", "directionY", 1, 0}, {"dz", "directionZ", 1, 0}, {"mxd", "maxDistance", 1, 0},
          {"n", "name", 1, 0}};
}

}  // namespace

void addFieldCommands(Interpreter& interpreter) {
  addFlaggedCommands(interpreter,
                     {{"uniform", uniformCommand, fieldFlags()}, {"gravity", gravityCommand, fieldFlags()}});
}

}  // namespace zovhost
