// Host commands that make primitive meshes: polyCube, polyPlane, polyCylinder
// and polySphere. Each makes a creation node, a transform and a mesh shape fed
// by the node, selects the transform and answers the names of the transform
// and the creation node.
#include <maya/MDagModifier.h>
#include <maya/MFnDependencyNode.h>

#include "commands/ActiveSelection.h"
#include "commands/ArgumentText.h"
#include "core/Logs.h"
#include "dag/DagNode.h"
#include "dg/Graph.h"
#include "interpreter/HostArgs.h"
#include "mesh/MeshNode.h"
#include "mesh/MeshPrimitives.h"
#include "mesh/ShadingGroups.h"

#include <cctype>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace zovhost {

namespace {

/// A flag that sets one attribute of the creation node.
struct PrimitiveFlag {
  HostFlag flag;
  const char* attribute;
  /// A length in the user-interface unit (else a subdivision count).
  bool length;
  int minimum;
};

struct PrimitiveCommand {
  const char* command;
  const char* nodeType;
  /// The transform's name before its number.
  const char* transformName;
  std::vector<PrimitiveFlag> flags;
};

constexpr int kAxisComponents = 3;

const std::vector<PrimitiveCommand>& primitiveCommands() {
  static const std::vector<PrimitiveCommand> commands = {
      {"polyCube",
       "polyCube",
       "pCube",
       {{{"w", "width", 1, 0}, "width", true, 0},
        {{"h", "height", 1, 0}, "height", true, 0},
        {{"d", "depth", 1, 0}, "depth", true, 0},
        {{"sx", "subdivisionsX", 1, 0}, "subdivisionsWidth", false, 1},
        {{"sy", "subdivisionsY", 1, 0}, "subdivisionsHeight", false, 1},
        {{"sz", "subdivisionsZ", 1, 0}, "subdivisionsDepth", false, 1}}},
      {"polyPlane",
       "polyPlane",
       "pPlane",
       {{{"w", "width", 1, 0}, "width", true, 0},
        {{"h", "height", 1, 0}, "height", true, 0},
        {{"sx", "subdivisionsX", 1, 0}, "subdivisionsWidth", false, 1},
        {{"sy", "subdivisionsY", 1, 0}, "subdivisionsHeight", false, 1}}},
      {"polyCylinder",
       "polyCylinder",
       "pCylinder",
       {{{"r", "radius", 1, 0}, "radius", true, 0},
        {{"h", "height", 1, 0}, "height", true, 0},
        {{"sx", "subdivisionsX", 1, 0}, "subdivisionsAxis", false, 3},
        {{"sy", "subdivisionsY", 1, 0}, "subdivisionsHeight", false, 1},
        {{"sz", "subdivisionsZ", 1, 0}, "subdivisionsCaps", false, 0},
        {{"sa", "subdivisionsAxis", 1, 0}, "subdivisionsAxis", false, 3},
        {{"sh", "subdivisionsHeight", 1, 0}, "subdivisionsHeight", false, 1},
        {{"sc", "subdivisionsCaps", 1, 0}, "subdivisionsCaps", false, 0}}},
      {"polySphere",
       "polySphere",
       "pSphere",
       {{{"r", "radius", 1, 0}, "radius", true, 0},
        {{"sx", "subdivisionsX", 1, 0}, "subdivisionsAxis", false, 3},
        {{"sy", "subdivisionsY", 1, 0}, "subdivisionsHeight", false, 2},
        {{"sa", "subdivisionsAxis", 1, 0}, "subdivisionsAxis", false, 3},
        {{"sh", "subdivisionsHeight", 1, 0}, "subdivisionsHeight", false, 2}}},
  };
  return commands;
}

/// "pCube1" gives "pCubeShape1": "Shape" goes before the trailing digits.
std::string shapeNameFor(const std::string& transform) {
  size_t digits = transform.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(transform[digits - 1]))) --digits;
  return transform.substr(0, digits) + "Shape" + transform.substr(digits);
}

/// A value for one attribute of the creation node.
struct Setting {
  std::string attribute;
  double value;
};

MStatus runPrimitive(HostCall& call, const PrimitiveCommand& command) {
  std::vector<HostFlag> flags{{"ax", "axis", kAxisComponents, 0}, {"n", "name", 1, 0}};
  for (const PrimitiveFlag& flag : command.flags) flags.push_back(flag.flag);
  HostArgs args;
  if (!args.parse(call, flags)) return MS::kFailure;
  const std::string name = call.call.name;
  if (!args.positional().empty()) {
    displayError(name + ": unexpected argument '" + args.positional().front() + "'");
    return MS::kFailure;
  }
  std::vector<Setting> settings;
  for (const PrimitiveFlag& flag : command.flags) {
    if (!args.has(flag.flag.longName)) continue;
    double value = 0.0;
    int count = 0;
    const std::string word = args.value(flag.flag.longName);
    if (flag.length) {
      if (!parseDouble(word, value) || !(value > 0.0) || !std::isfinite(value)) {
        displayError(name + ": -" + flag.flag.longName + " needs a positive number, not '" + word + "'");
        return MS::kFailure;
      }
      value = MDistance::uiToInternal(value);
    } else {
      if (!parseInt(word, count) || count < flag.minimum || count > MeshPrimitives::kMaxDivisions) {
        displayError(name + ": -" + flag.flag.longName + " needs a whole number from " + std::to_string(flag.minimum) +
                     " to " + std::to_string(MeshPrimitives::kMaxDivisions) + ", not '" + word + "'");
        return MS::kFailure;
      }
      value = count;
    }
    settings.push_back({flag.attribute, value});
  }
  if (args.has("axis")) {
    double axis[kAxisComponents];
    for (int i = 0; i < kAxisComponents; ++i)
      if (!parseDouble(args.values("axis")[static_cast<size_t>(i)], axis[i])) {
        displayError(name + ": -axis needs three numbers");
        return MS::kFailure;
      }
    if (axis[0] == 0.0 && axis[1] == 0.0 && axis[2] == 0.0) {
      displayError(name + ": -axis must not be zero");
      return MS::kFailure;
    }
    for (int i = 0; i < kAxisComponents; ++i) settings.push_back({std::string("axis") + "XYZ"[i], axis[i]});
  }
  std::string transformName = command.transformName + std::string("1");
  if (args.has("name")) {
    transformName = args.value("name");
    if (!Graph::isValidName(transformName)) {
      displayError(name + ": invalid name '" + transformName + "'");
      return MS::kFailure;
    }
  }

  auto modifier = std::make_shared<MDagModifier>();
  const MObject creator = modifier->MDGModifier::createNode(MString(command.nodeType));
  const MObject transform = modifier->createNode(MString("transform"));
  const MObject shape = modifier->createNode(MString("mesh"), transform);
  if (creator.isNull() || transform.isNull() || shape.isNull()) return MS::kFailure;
  // The shape takes the transform's name with "Shape" before its number.
  nodeOf(transform)->name = sceneGraph().uniqueName(transformName);
  nodeOf(shape)->name = sceneGraph().uniqueName(shapeNameFor(nodeOf(transform)->name));
  MFnDependencyNode creatorFn(creator);
  MFnDependencyNode shapeFn(shape);
  modifier->connect(creatorFn.findPlug("output"), shapeFn.findPlug("inMesh"));
  if (!modifier->doIt()) {
    modifier->undoIt();
    displayError(name + ": the mesh could not be made");
    return MS::kFailure;
  }
  for (const Setting& setting : settings) creatorFn.findPlug(MString(setting.attribute)).setValue(setting.value);
  // New primitives are shaded with the default group.
  const auto shade = [shape]() {
    addGroupMembers(sceneGraph().find("initialShadingGroup"), nodeOf(shape), true, {}, MemberMode::kForce);
  };
  shade();
  recordUndo(call, std::make_unique<FunctionEntry>(
                       name, [modifier]() { modifier->undoIt(); },
                       [modifier, shade]() {
                         modifier->doIt();
                         shade();
                       }));
  MSelectionList selection;
  selection.add(transform);
  setActiveSelection(selection);
  call.result.setStrings({nodeOf(transform)->name, nodeOf(creator)->name});
  return MS::kSuccess;
}

MStatus polyCubeCommand(HostCall& call) { return runPrimitive(call, primitiveCommands()[0]); }
MStatus polyPlaneCommand(HostCall& call) { return runPrimitive(call, primitiveCommands()[1]); }
MStatus polyCylinderCommand(HostCall& call) { return runPrimitive(call, primitiveCommands()[2]); }
MStatus polySphereCommand(HostCall& call) { return runPrimitive(call, primitiveCommands()[3]); }

/// polyEvaluate [-v] [-f] mesh: the mesh's vertex and face counts, in the
/// order of the flags (both when none is given).
MStatus polyEvaluateCommand(HostCall& call, const HostArgs& args) {
  if (args.positional().size() != 1) {
    displayError("polyEvaluate: give one mesh");
    return MS::kFailure;
  }
  MDagPath path = dagPathNamed(args.positional()[0]);
  if (path.isValid() && !path.hasFn(MFn::kMesh)) path.extendToShape();
  if (!path.isValid() || !path.hasFn(MFn::kMesh)) {
    displayError("polyEvaluate: '" + args.positional()[0] + "' is not a mesh");
    return MS::kFailure;
  }
  const auto mesh = MeshNode::geometry(nodeOf(path.node()));
  std::vector<int> counts;
  for (const std::string& flag : args.order())
    counts.push_back(flag == "vertex" ? mesh->vertexCount() : mesh->polygonCount());
  if (counts.empty()) counts = {mesh->vertexCount(), mesh->polygonCount()};
  call.result.setInts(counts);
  return MS::kSuccess;
}

}  // namespace

void addPolyCommands(Interpreter& interpreter) {
  addFlaggedCommands(interpreter,
                     {{"polyEvaluate", polyEvaluateCommand, {{"v", "vertex", 0, 0}, {"f", "face", 0, 0}}}});
  interpreter.addHostCommands({{"polyCube", polyCubeCommand},
                               {"polyPlane", polyPlaneCommand},
                               {"polyCylinder", polyCylinderCommand},
                               {"polySphere", polySphereCommand}});
}

}  // namespace zovhost
