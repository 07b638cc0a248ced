// Host commands that make curves and cameras: curve and camera. Each makes
// a transform with the shape below it and answers their names.
#include <maya/MDoubleArray.h>
#include <maya/MFnNurbsCurve.h>

#include "commands/ArgumentText.h"
#include "core/Logs.h"
#include "dag/CurveNode.h"
#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "interpreter/HostArgs.h"

#include <cctype>
#include <memory>
#include <string>
#include <vector>

namespace zovhost {

namespace {

constexpr int kPointWords = 3;

/// Makes a shape of a type under a new transform, undoably; answers the
/// shape (null, with the reason shown, on failure).
std::shared_ptr<NodeImpl> makeShape(HostCall& call, const char* type, const std::string& name) {
  const std::string command = call.call.name;
  if (!name.empty() && !Graph::isValidName(name)) {
    displayError(command + ": invalid name '" + name + "'");
    return nullptr;
  }
  std::shared_ptr<NodeImpl> transform;
  MStatus status;
  const auto shape = createDagNode(nodeTypeRegistry().find(type), nullptr, "", &transform, &status);
  if (!shape || !transform) {
    displayError(command + ": the " + type + " could not be made");
    return nullptr;
  }
  if (!name.empty()) {
    // The shape takes the transform's name with "Shape" before its number.
    sceneGraph().rename(*transform, name);
    size_t digits = transform->name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(transform->name[digits - 1]))) --digits;
    sceneGraph().rename(*shape, transform->name.substr(0, digits) + "Shape" + transform->name.substr(digits));
  }
  auto removal = std::make_shared<NodeRemoval>();
  recordUndo(call, std::make_unique<FunctionEntry>(
                       command, [transform, removal]() { sceneGraph().remove(transform, removal.get(), true); },
                       [removal]() { sceneGraph().restore(*removal); }));
  call.result.setStrings({transform->name, shape->name});
  return shape;
}

MStatus curveCommand(HostCall& call) {
  HostArgs args;
  if (!args.parse(call,
                  {{"d", "degree", 1, 0}, {"p", "point", kPointWords, 0}, {"k", "knot", 1, 0}, {"n", "name", 1, 0}}))
    return MS::kFailure;
  int degree = 1;
  if (args.has("degree") && (!parseInt(args.value("degree"), degree) || degree != 1)) {
    displayError("curve: this host makes curves of degree 1 only");
    return MS::kFailure;
  }
  CurveData data;
  const auto& words = args.values("point");
  for (size_t i = 0; i < words.size(); i += kPointWords) {
    double xyz[kPointWords];
    for (int k = 0; k < kPointWords; ++k)
      if (!parseDouble(words[i + static_cast<size_t>(k)], xyz[k])) {
        displayError("curve: -point needs three numbers");
        return MS::kFailure;
      }
    data.cvs.emplace_back(MDistance::uiToInternal(xyz[0]), MDistance::uiToInternal(xyz[1]),
                          MDistance::uiToInternal(xyz[2]));
  }
  for (const std::string& word : args.values("knot")) {
    double knot = 0.0;
    if (!parseDouble(word, knot)) {
      displayError("curve: -knot needs a number");
      return MS::kFailure;
    }
    data.knots.push_back(knot);
  }
  if (data.knots.empty())
    for (size_t i = 0; i < data.cvs.size(); ++i) data.knots.push_back(static_cast<double>(i));
  if (!data.valid()) {
    displayError("curve: give at least two points, and one knot per point in increasing order");
    return MS::kFailure;
  }
  const auto shape = makeShape(call, "nurbsCurve", args.value("name"));
  if (!shape) return MS::kFailure;
  CurveNode::setData(shape, data);
  call.result.setString(shape->dagParents.front()->name);
  return MS::kSuccess;
}

MStatus cameraCommand(HostCall& call) {
  HostArgs args;
  if (!args.parse(call, {{"n", "name", 1, 0}})) return MS::kFailure;
  if (!args.positional().empty()) {
    displayError("camera: unexpected argument '" + args.positional().front() + "'");
    return MS::kFailure;
  }
  return makeShape(call, "camera", args.value("name")) ? MS::kSuccess : MS::kFailure;
}

}  // namespace

void addCurveCommands(Interpreter& interpreter) {
  interpreter.addHostCommand("curve", curveCommand);
  interpreter.addHostCommand("camera", cameraCommand);
}

}  // namespace zovhost
