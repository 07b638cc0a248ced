// Manipulator containers, free-point triad manipulators, the host's
// show-manipulator tool and scripted manipulator drags.
#include "render/Manipulators.h"

#include <GL/gl.h>
#include <maya/MFnFreePointTriadManip.h>
#include <maya/MPxManipContainer.h>
#include <maya/MSelectionList.h>

#include <algorithm>
#include <string>

#include "commands/ActiveSelection.h"
#include "commands/ArgumentText.h"
#include "commands/CommandRegistry.h"
#include "core/Logs.h"
#include "dg/Graph.h"
#include "dg/NodeImpl.h"
#include "dg/NodeTypeRegistry.h"
#include "interpreter/HostArgs.h"
#include "interpreter/Interpreter.h"
#include "mathtypes/StatusOut.h"
#include "render/RenderState.h"

using zovhost::FreePointManipulator;
using zovhost::NodeImpl;
using zovhost::setStatus;

namespace zovhost {

namespace {

const char* const kShowManipulatorTool = "ShowManips";
/// The suffix that names a node type's manipulator container type.
const char* const kContainerSuffix = "Manip";

ManipulatorState& manipulators() { return renderState().manipulators; }

std::shared_ptr<NodeType> freePointType() {
  static const std::shared_ptr<NodeType> type = [] {
    auto made = std::make_shared<NodeType>();
    made->name = "freePointTriadManip";
    made->apiType = MFn::kFreePointTriadManip;
    made->fnTypes = {MFn::kFreePointTriadManip, MFn::kManipulator3D, MFn::kDependencyNode};
    made->creator = []() -> void* { return new FreePointManipulator; };
    return made;
  }();
  return type;
}

bool inConnectTable(const MTypeId& id) {
  const std::vector<MTypeId>& table = manipulators().connectTable;
  return std::find(table.begin(), table.end(), id) != table.end();
}

/// The node and, for a transform, its shapes: what a selected item stands for.
std::vector<std::shared_ptr<NodeImpl>> nodesOfSelected(const MSelectionList& selection, unsigned int i) {
  std::vector<std::shared_ptr<NodeImpl>> nodes;
  MDagPath path;
  MObject node;
  if (selection.getDagPath(i, path) && path.isValid()) {
    nodes.push_back(path.last());
    if (path.hasFn(MFn::kTransform))
      for (unsigned int c = 0; c < path.childCount(); ++c)
        if (const auto child = nodeOf(path.child(c)); child && !child->hasFn(MFn::kTransform)) nodes.push_back(child);
  } else if (selection.getDependNode(i, node)) {
    nodes.push_back(nodeOf(node));
  }
  return nodes;
}

MPxManipContainer* containerOf(const std::shared_ptr<NodeImpl>& node) {
  return node ? dynamic_cast<MPxManipContainer*>(node->user.get()) : nullptr;
}

/// The shown manipulators in order, with their containers.
std::vector<std::pair<MPxManipContainer*, FreePointManipulator*>> shownManipulators() {
  std::vector<std::pair<MPxManipContainer*, FreePointManipulator*>> found;
  for (const ManipulatorState::Shown& shown : manipulators().shown)
    if (MPxManipContainer* container = containerOf(shown.container))
      for (const MDagPath& path : container->manipulatorPaths())
        if (FreePointManipulator* manip = freePointManipulatorOf(path.nodes().empty() ? nullptr : path.nodes().back()))
          found.emplace_back(container, manip);
  return found;
}

/// Writes a point to a plug of three numbers.
MStatus writePoint(const MPlug& plug, const MPoint& point) {
  if (plug.isNull() || plug.numChildren() < 3) return MS::kInvalidParameter;
  for (unsigned int axis = 0; axis < 3; ++axis)
    if (MStatus status = plug.child(axis).setDouble(point[axis]); !status) return status;
  return MS::kSuccess;
}

MStatus dragManipCommand(HostCall&, const HostArgs& args) {
  const auto fail = [](const std::string& message) {
    displayError("dragManip: " + message);
    return MS::kFailure;
  };
  int index = 0;
  double xyz[3] = {0.0, 0.0, 0.0};
  const std::vector<std::string>& words = args.positional();
  if (words.size() != 4 || !parseInt(words[0], index) || !parseDouble(words[1], xyz[0]) ||
      !parseDouble(words[2], xyz[1]) || !parseDouble(words[3], xyz[2]))
    return fail("give the manipulator's index and the point to drag it to: index x y z");
  const auto shown = shownManipulators();
  if (index < 0 || static_cast<size_t>(index) >= shown.size())
    return fail("no manipulator " + std::to_string(index) + " is shown");
  auto [container, manip] = shown[static_cast<size_t>(index)];
  if (!manip->visible) return fail("manipulator " + std::to_string(index) + " is hidden");
  manip->point = MPoint(xyz[0], xyz[1], xyz[2]);
  if (!manip->pointPlug.isNull()) {
    if (MStatus status = writePoint(manip->pointPlug, manip->point); !status)
      return fail("the manipulator's plug cannot be written");
  }
  MStatus status = container->doDrag();
  const MStatus released = container->doRelease();
  if (status) status = released;
  return status;
}

}  // namespace

void ManipulatorState::showForSelection() {
  shown.clear();
  const MSelectionList& selection = activeSelection();
  for (unsigned int i = 0; i < selection.length(); ++i)
    for (const std::shared_ptr<NodeImpl>& node : nodesOfSelected(selection, i)) {
      if (!node || !node->type || !inConnectTable(node->type->id)) continue;
      const auto type = nodeTypeRegistry().find(node->type->name + kContainerSuffix);
      if (!type || type->kind != MPxNode::kManipContainer) continue;
      MStatus status;
      const std::shared_ptr<NodeImpl> container = sceneGraph().instantiate(type, &status);
      MPxManipContainer* manip = containerOf(container);
      if (!manip) continue;
      manip->createChildren();
      manip->connectToDependNode(MObject(node));
      shown.push_back({container, MObject(node)});
    }
}

void ManipulatorState::dropNode(const MObject& node) {
  const auto removed = nodeOf(node);
  shown.erase(
      std::remove_if(shown.begin(), shown.end(), [&removed](const Shown& s) { return nodeOf(s.node) == removed; }),
      shown.end());
}

void ManipulatorState::reset() {
  shown.clear();
  connectTable.clear();
}

std::shared_ptr<NodeImpl> makeFreePointManipulator(const MString& manipName, const MString& pointName) {
  MStatus status;
  std::shared_ptr<NodeImpl> node = sceneGraph().instantiate(freePointType(), &status);
  if (FreePointManipulator* manip = freePointManipulatorOf(node)) {
    manip->manipName = manipName;
    manip->pointName = pointName;
    node->name = manipName.str();
  }
  return node;
}

FreePointManipulator* freePointManipulatorOf(const std::shared_ptr<NodeImpl>& node) {
  return node ? dynamic_cast<FreePointManipulator*>(node->user.get()) : nullptr;
}

void addManipulatorTools(Interpreter& interpreter) {
  commandRegistry().addHostTool(
      kShowManipulatorTool, [] { manipulators().showForSelection(); }, [] { manipulators().clearShown(); });
  addFlaggedCommands(interpreter, {{"dragManip", dragManipCommand, {}}});
}

}  // namespace zovhost

// ---- MPxManipContainer -------------------------------------------------------

MStatus MPxManipContainer::addToManipConnectTable(const MTypeId& id) {
  if (!zovhost::inConnectTable(id)) zovhost::manipulators().connectTable.push_back(id);
  return MS::kSuccess;
}

MStatus MPxManipContainer::removeFromManipConnectTable(const MTypeId& id) {
  std::vector<MTypeId>& table = zovhost::manipulators().connectTable;
  const auto found = std::find(table.begin(), table.end(), id);
  if (found == table.end()) return MS::kFailure;
  table.erase(found);
  return MS::kSuccess;
}

MStatus MPxManipContainer::createChildren() { return MS::kSuccess; }

MStatus MPxManipContainer::connectToDependNode(const MObject& node) {
  if (node.isNull()) return MS::kInvalidParameter;
  m_connectedNode = node;
  return MS::kSuccess;
}

void MPxManipContainer::draw(M3dView&, const MDagPath&, M3dView::DisplayStyle, M3dView::DisplayStatus) {
  for (const MDagPath& path : m_manipulators)
    if (const FreePointManipulator* manip = zovhost::freePointManipulatorOf(path.nodes().back()))
      if (manip->visible) glVertex3d(manip->point.x, manip->point.y, manip->point.z);
}

MStatus MPxManipContainer::doPress() { return MS::kSuccess; }
MStatus MPxManipContainer::doDrag() { return MS::kSuccess; }
MStatus MPxManipContainer::doRelease() { return MS::kSuccess; }

MDagPath MPxManipContainer::addFreePointTriadManip(const MString& manipName, const MString& pointName) {
  const std::shared_ptr<NodeImpl> node = zovhost::makeFreePointManipulator(manipName, pointName);
  if (!node) return MDagPath();
  m_manipulators.push_back(MDagPath(std::vector<std::shared_ptr<NodeImpl>>{node}));
  return m_manipulators.back();
}

MStatus MPxManipContainer::finishAddingManips() {
  m_finished = true;
  return MS::kSuccess;
}

// ---- MFnFreePointTriadManip ----------------------------------------------------

namespace {

FreePointManipulator* manipOf(const MObject& object) {
  return zovhost::freePointManipulatorOf(zovhost::nodeOf(object));
}

}  // namespace

MFnFreePointTriadManip::MFnFreePointTriadManip(const MDagPath& path, MStatus* status) {
  setStatus(status, setObject(path.nodes().empty() ? MObject() : MObject(path.nodes().back())));
}

MStatus MFnFreePointTriadManip::connectToPointPlug(const MPlug& pointPlug) {
  FreePointManipulator* manip = manipOf(m_object);
  if (!manip) return MS::kInvalidParameter;
  if (pointPlug.isNull() || (pointPlug.isArray() && !pointPlug.isElement()) || pointPlug.numChildren() < 3)
    return MS::kInvalidParameter;
  manip->pointPlug = pointPlug;
  return MS::kSuccess;
}

MStatus MFnFreePointTriadManip::setPoint(const MPoint& point) {
  FreePointManipulator* manip = manipOf(m_object);
  if (!manip) return MS::kInvalidParameter;
  manip->point = point;
  return MS::kSuccess;
}

MPoint MFnFreePointTriadManip::point(MStatus* status) const {
  const FreePointManipulator* manip = manipOf(m_object);
  setStatus(status, manip ? MS::kSuccess : MS::kInvalidParameter);
  return manip ? manip->point : MPoint();
}

MStatus MFnFreePointTriadManip::setVisible(bool visible) {
  FreePointManipulator* manip = manipOf(m_object);
  if (!manip) return MS::kInvalidParameter;
  manip->visible = visible;
  return MS::kSuccess;
}

bool MFnFreePointTriadManip::isVisible(MStatus* status) const {
  const FreePointManipulator* manip = manipOf(m_object);
  setStatus(status, manip ? MS::kSuccess : MS::kInvalidParameter);
  return manip && manip->visible;
}

MString MFnFreePointTriadManip::name(MStatus* status) const {
  const FreePointManipulator* manip = manipOf(m_object);
  setStatus(status, manip ? MS::kSuccess : MS::kInvalidParameter);
  return manip ? manip->manipName : MString();
}

MPlug MFnFreePointTriadManip::pointPlug(MStatus* status) const {
  const FreePointManipulator* manip = manipOf(m_object);
  setStatus(status, manip ? MS::kSuccess : MS::kInvalidParameter);
  return manip ? manip->pointPlug : MPlug();
}
