#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>

#include <string>
#include <vector>

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

/// Runs the command and reads its result with `read`: the command's own
/// failure, kFailure when the result does not read, else kSuccess.
template <class Read>
MStatus runAndRead(const MString& command, bool display, bool undo, Read read) {
  CommandResult result;
  const MStatus status = run(command, result, display, undo);
  if (!status) return status;
  return read(result) ? MS::kSuccess : MS::kFailure;
}

/// Reads the result's list with `as` into `value`, emptied first; false,
/// `value` untouched, when the result is no such list.
template <class Item, class Array>
bool readList(const CommandResult& result, bool (CommandResult::*as)(std::vector<Item>&) const, Array& value) {
  std::vector<Item> items;
  if (!(result.*as)(items)) return false;
  value.clear();
  for (const Item& item : items) value.append(item);
  return true;
}

}  // namespace

MStatus MGlobal::executeCommand(const MString& command, bool displayEnabled, bool undoEnabled) {
  CommandResult result;
  return run(command, result, displayEnabled, undoEnabled);
}

MStatus MGlobal::executeCommand(const MString& command, int& value, bool displayEnabled, bool undoEnabled) {
  return runAndRead(command, displayEnabled, undoEnabled,
                    [&](const CommandResult& result) { return result.asInt(value); });
}

MStatus MGlobal::executeCommand(const MString& command, double& value, bool displayEnabled, bool undoEnabled) {
  return runAndRead(command, displayEnabled, undoEnabled,
                    [&](const CommandResult& result) { return result.asDouble(value); });
}

MStatus MGlobal::executeCommand(const MString& command, MString& value, bool displayEnabled, bool undoEnabled) {
  return runAndRead(command, displayEnabled, undoEnabled, [&](const CommandResult& result) {
    std::string text;
    if (!result.asString(text)) return false;
    value = MString(text);
    return true;
  });
}

MStatus MGlobal::executeCommand(const MString& command, MStringArray& value, bool displayEnabled, bool undoEnabled) {
  return runAndRead(command, displayEnabled, undoEnabled,
                    [&](const CommandResult& result) { return readList(result, &CommandResult::asStrings, value); });
}

MStatus MGlobal::executeCommand(const MString& command, MIntArray& value, bool displayEnabled, bool undoEnabled) {
  return runAndRead(command, displayEnabled, undoEnabled,
                    [&](const CommandResult& result) { return readList(result, &CommandResult::asInts, value); });
}

MStatus MGlobal::executeCommand(const MString& command, MDoubleArray& value, bool displayEnabled, bool undoEnabled) {
  return runAndRead(command, displayEnabled, undoEnabled,
                    [&](const CommandResult& result) { return readList(result, &CommandResult::asDoubles, value); });
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
