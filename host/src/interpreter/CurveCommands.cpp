// Host commands that make curves and cameras (curve and camera: each makes
// a transform with the shape below it and answers their names) and that
// move transforms along curves (pathAnimation).
#include <maya/MAnimControl.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnNurbsCurve.h>

#include "commands/ArgumentText.h"
#include "core/Logs.h"
#include "dag/CurveNode.h"
#include "dag/MotionPathNode.h"
#include "dag/TransformNode.h"
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

MStatus curveCommand(HostCall& call, const HostArgs& args) {
  CurveData data;
  if (args.has("degree") && (!parseInt(args.value("degree"), data.degree) || (data.degree != 1 && data.degree != 3))) {
    displayError("curve: this host makes curves of degree 1 or 3 only");
    return MS::kFailure;
  }
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
  if (data.knots.empty()) data.knots = CurveData::defaultKnots(data.cvs.size(), data.degree);
  if (!data.valid()) {
    displayError(
        "curve: give at least degree + 1 points, and points + degree - 1 knots that do not decrease and span a "
        "domain");
    return MS::kFailure;
  }
  const auto shape = makeShape(call, "nurbsCurve", args.value("name"));
  if (!shape) return MS::kFailure;
  CurveNode::setData(shape, data);
  call.result.setString(shape->dagParents.front()->name);
  return MS::kSuccess;
}

MStatus cameraCommand(HostCall& call, const HostArgs& args) {
  if (!args.positional().empty()) {
    displayError("camera: unexpected argument '" + args.positional().front() + "'");
    return MS::kFailure;
  }
  return makeShape(call, "camera", args.value("name")) ? MS::kSuccess : MS::kFailure;
}

/// pathAnimation -curve c [-startTimeU t] [-endTimeU t] [-fractionMode b]
/// [-name n] object: a motion path that moves the object's translate along
/// the curve, its parameter keyed from the curve's start at the start time
/// to its end at the end time (the playback range when not given); with
/// fraction mode, along equal lengths. Answers the motion path's name.
MStatus pathAnimationCommand(HostCall& call, const HostArgs& args) {
  Graph& graph = sceneGraph();
  const auto curveAbove = graph.find(args.value("curve"));
  std::shared_ptr<NodeImpl> curve = curveAbove;
  if (curve && curve->hasFn(MFn::kTransform)) {
    curve = nullptr;
    for (const NodeImpl* child : graph.dag().children(curveAbove.get()))
      if (child->hasFn(MFn::kNurbsCurve)) curve = const_cast<NodeImpl*>(child)->shared_from_this();
  }
  if (!curve || !curve->hasFn(MFn::kNurbsCurve)) {
    displayError("pathAnimation: give a curve with -curve");
    return MS::kFailure;
  }
  if (args.positional().size() != 1) {
    displayError("pathAnimation: give one object to move");
    return MS::kFailure;
  }
  const auto object = graph.find(args.positional()[0]);
  if (!object || !object->hasFn(MFn::kTransform)) {
    displayError("pathAnimation: '" + args.positional()[0] + "' is not a transform");
    return MS::kFailure;
  }
  double start = MAnimControl::minTime().as(MTime::uiUnit());
  double end = MAnimControl::maxTime().as(MTime::uiUnit());
  bool fraction = false;
  if ((args.has("startTimeU") && !parseDouble(args.value("startTimeU"), start)) ||
      (args.has("endTimeU") && !parseDouble(args.value("endTimeU"), end)) ||
      (args.has("fractionMode") && !parseBool(args.value("fractionMode"), fraction)) || !(start < end)) {
    displayError("pathAnimation: invalid times or fraction mode");
    return MS::kFailure;
  }
  const MPlug translate(MObject(object), TransformNode::translate);
  for (unsigned int i = 0; i < 3; ++i)
    if (translate.child(i).isDestination() || translate.isDestination()) {
      displayError("pathAnimation: the translate of '" + object->name + "' is driven already");
      return MS::kFailure;
    }
  const std::string name = args.value("name");
  if (!name.empty() && !Graph::isValidName(name)) {
    displayError("pathAnimation: invalid name '" + name + "'");
    return MS::kFailure;
  }

  MStatus status;
  const auto path = graph.instantiate(nodeTypeRegistry().find("motionPath"), &status);
  if (!path || !graph.add(path)) {
    displayError("pathAnimation: the motion path could not be made");
    return MS::kFailure;
  }
  if (!name.empty()) graph.rename(*path, name);
  const MObject pathNode(path);
  const CurveData data = CurveNode::data(curve);
  const double first = fraction ? 0.0 : data.domainStart();
  const double last = fraction ? 1.0 : data.domainEnd();
  MPlug(pathNode, MotionPathNode::fractionMode).setValue(fraction);
  graph.connect(MPlug(MObject(curve), CurveNode::worldSpace).elementByLogicalIndex(0),
                MPlug(pathNode, MotionPathNode::geometryPath));
  graph.connect(MPlug(pathNode, MotionPathNode::message),
                MPlug(MObject(object), TransformNode::specifiedManipLocation));
  graph.connect(MPlug(pathNode, MotionPathNode::allCoordinates), translate);
  MFnAnimCurve keys;
  const MObject made = keys.create(MPlug(pathNode, MotionPathNode::uValue));
  keys.addKeyframe(MTime(start, MTime::uiUnit()), first);
  keys.addKeyframe(MTime(end, MTime::uiUnit()), last);

  // Deleting the path and its keys frees the translate again.
  auto removals = std::make_shared<std::vector<NodeRemoval>>();
  const std::vector<std::shared_ptr<NodeImpl>> nodes = {nodeOf(made), path};
  recordUndo(call, std::make_unique<FunctionEntry>(
                       "pathAnimation",
                       [nodes, removals]() {
                         removals->assign(nodes.size(), NodeRemoval());
                         for (size_t i = 0; i < nodes.size(); ++i) sceneGraph().remove(nodes[i], &(*removals)[i], true);
                       },
                       [removals]() {
                         for (auto it = removals->rbegin(); it != removals->rend(); ++it) sceneGraph().restore(*it);
                       }));
  call.result.setString(path->name);
  return MS::kSuccess;
}

}  // namespace

void addCurveCommands(Interpreter& interpreter) {
  addFlaggedCommands(
      interpreter,
      {{"camera", cameraCommand, {{"n", "name", 1, 0}}},
       {"pathAnimation",
        pathAnimationCommand,
        {{"c", "curve", 1, 0},
         {"stu", "startTimeU", 1, 0},
         {"etu", "endTimeU", 1, 0},
         {"fm", "fractionMode", 1, 0},
         {"n", "name", 1, 0}}},
       {"curve",
        curveCommand,
        {{"d", "degree", 1, 0}, {"p", "point", kPointWords, 0}, {"k", "knot", 1, 0}, {"n", "name", 1, 0}}}});
}

}  // namespace zovhost
