#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>

#include "commands/ActiveSelection.h"
#include "core/Logs.h"
#include "dg/Graph.h"
#include "interpreter/Interpreter.h"
#include "mathtypes/StatusOut.h"

using zovhost::activeSelection;
using zovhost::CommandResult;
using zovhost::ExecuteOptions;
using zovhost::hostInterpreter;
using zovhost::sceneGraph;
using zovhost::setActiveSelection;

namespace {

// The API version this host implements.
constexpr int kApiVersion = 20180000;

MStatus run(const MString& command, CommandResult& result, bool display, bool undo) {
  ExecuteOptions options;
  options.display = display;
  options.undoEnabled = undo;
  return hostInterpreter().execute(command.str(), result, options);
}

}  // namespace

MStatus MGlobal::executeCommand(const MString& command, bool displayEnabled, bool undoEnabled) {
  CommandResult result;
  return run(command, result, displayEnabled, undoEnabled);
}

MStatus MGlobal::executeCommand(const MString& command, int& value, bool displayEnabled, bool undoEnabled) {
  CommandResult result;
  const MStatus status = run(command, result, displayEnabled, undoEnabled);
  if (!status) return status;
  return result.asInt(value) ? MS::kSuccess : MS::kFailure;
}

MStatus MGlobal::executeCommand(const MString& command, double& value, bool displayEnabled, bool undoEnabled) {
  CommandResult result;
  const MStatus status = run(command, result, displayEnabled, undoEnabled);
  if (!status) return status;
  return result.asDouble(value) ? MS::kSuccess : MS::kFailure;
}

MStatus MGlobal::executeCommand(const MString& command, MString& value, bool displayEnabled, bool undoEnabled) {
  CommandResult result;
  const MStatus status = run(command, result, displayEnabled, undoEnabled);
  if (!status) return status;
  std::string text;
  if (!result.asString(text)) return MS::kFailure;
  value = MString(text);
  return MS::kSuccess;
}

MStatus MGlobal::executeCommand(const MString& command, MStringArray& value, bool displayEnabled, bool undoEnabled) {
  CommandResult result;
  const MStatus status = run(command, result, displayEnabled, undoEnabled);
  if (!status) return status;
  std::vector<std::string> items;
  if (!result.asStrings(items)) return MS::kFailure;
  value.clear();
  for (const std::string& item : items) value.append(MString(item));
  return MS::kSuccess;
}

MStatus MGlobal::executeCommand(const MString& command, MIntArray& value, bool displayEnabled, bool undoEnabled) {
  CommandResult result;
  const MStatus status = run(command, result, displayEnabled, undoEnabled);
  if (!status) return status;
  std::vector<int> items;
  if (!result.asInts(items)) return MS::kFailure;
  value.clear();
  for (int item : items) value.append(item);
  return MS::kSuccess;
}

MStatus MGlobal::executeCommand(const MString& command, MDoubleArray& value, bool displayEnabled, bool undoEnabled) {
  CommandResult result;
  const MStatus status = run(command, result, displayEnabled, undoEnabled);
  if (!status) return status;
  std::vector<double> items;
  if (!result.asDoubles(items)) return MS::kFailure;
  value.clear();
  for (double item : items) value.append(item);
  return MS::kSuccess;
}

MStatus MGlobal::executeCommandOnIdle(const MString& command, bool displayEnabled) {
  hostInterpreter().queueIdle(command.str(), displayEnabled);
  return MS::kSuccess;
}

void MGlobal::displayInfo(const MString& text) { zovhost::displayInfo(text.str()); }
void MGlobal::displayWarning(const MString& text) { zovhost::displayWarning(text.str()); }
void MGlobal::displayError(const MString& text) { zovhost::displayError(text.str()); }

MStatus MGlobal::getActiveSelectionList(MSelectionList& list, bool) {
  list = activeSelection();
  return MS::kSuccess;
}

MStatus MGlobal::setActiveSelectionList(const MSelectionList& list, ListAdjustment adjustment) {
  MSelectionList selection = activeSelection();
  switch (adjustment) {
    case kReplaceList:
      selection = list;
      break;
    case kXORWithList:
      selection.merge(list, MSelectionList::kXORWithList);
      break;
    case kAddToList:
      selection.merge(list, MSelectionList::kMergeNormal);
      break;
    case kRemoveFromList:
      selection.merge(list, MSelectionList::kRemoveFromList);
      break;
    case kAddToHeadOfList: {
      MSelectionList head = list;
      head.merge(selection, MSelectionList::kMergeNormal);
      selection = head;
      break;
    }
  }
  setActiveSelection(selection);
  return MS::kSuccess;
}

MStatus MGlobal::selectByName(const MString& name, ListAdjustment adjustment) {
  MSelectionList list;
  const MStatus status = list.add(name);
  if (!status) return status;
  return setActiveSelectionList(list, adjustment);
}

MStatus MGlobal::clearSelectionList() { return setActiveSelectionList(MSelectionList(), kReplaceList); }

MGlobal::MSelectionMode MGlobal::selectionMode(MStatus* status) {
  zovhost::setStatus(status, MS::kSuccess);
  return zovhost::selectionSettings().mode;
}

MStatus MGlobal::setSelectionMode(MSelectionMode mode) {
  if (mode != kSelectObjectMode && mode != kSelectComponentMode) return MS::kInvalidParameter;
  zovhost::selectionSettings().mode = mode;
  return MS::kSuccess;
}

MSelectionMask MGlobal::objectSelectionMask(MStatus* status) {
  zovhost::setStatus(status, MS::kSuccess);
  return zovhost::selectionSettings().objectMask;
}

MStatus MGlobal::setObjectSelectionMask(const MSelectionMask& mask) {
  zovhost::selectionSettings().objectMask = mask;
  return MS::kSuccess;
}

MSelectionMask MGlobal::componentSelectionMask(MStatus* status) {
  zovhost::setStatus(status, MS::kSuccess);
  return zovhost::selectionSettings().componentMask;
}

MStatus MGlobal::setComponentSelectionMask(const MSelectionMask& mask) {
  zovhost::selectionSettings().componentMask = mask;
  return MS::kSuccess;
}

MStatus MGlobal::deleteNode(MObject& node) {
  const auto impl = zovhost::nodeOf(node);
  if (!impl) return MS::kInvalidParameter;
  // A per-vertex normal edit taken out of a history joins what fed it to
  // what it fed, as the edit had never been made.
  MPlug source;
  std::vector<MPlug> fed;
  if (impl->apiType() == MFn::kPolyNormalPerVertex) {
    MFnDependencyNode fn(node);
    source = fn.findPlug("inputPolymesh").source();
    MPlugArray destinations;
    fn.findPlug("output").destinations(destinations);
    for (unsigned int i = 0; i < destinations.length(); ++i) fed.push_back(destinations[i]);
  }
  const MStatus status = sceneGraph().remove(impl, nullptr);
  if (status && !source.isNull())
    for (const MPlug& destination : fed) sceneGraph().connect(source, destination);
  return status;
}

int MGlobal::apiVersion() { return kApiVersion; }
