#include "src/commandSelection.h"

#include <maya/MAnimControl.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>

MStatus failWithError(const MString& line) {
  MGlobal::displayError(line);
  return MS::kFailure;
}

MStatus failWithInfo(const MString& line) {
  MGlobal::displayInfo(line);
  return MS::kFailure;
}

bool requireObjects(const MSelectionList& list, const char* error) {
  if (list.length() > 0) return true;
  MGlobal::displayError(error);
  return false;
}

void rewindToStart(const char* warning) {
  if (MAnimControl::currentTime() == MAnimControl::minTime()) return;
  MAnimControl::setCurrentTime(MAnimControl::minTime());
  MGlobal::displayWarning(warning);
}

bool refuseInstance(const MDagPath& shape) {
  if (!shape.isInstanced()) return false;
  MGlobal::displayError("Object " + shape.partialPathName() +
                        " is an instance, convert it to object( Modify->convert->instance to object)");
  return true;
}

UndoRecordingOff::UndoRecordingOff() { MGlobal::executeCommand("undoInfo -swf off", false, false); }
UndoRecordingOff::~UndoRecordingOff() { MGlobal::executeCommand("undoInfo -swf on", false, false); }

void warnLeftOut(const LeftOut& leftOut, const MObject& node) {
  MGlobal::displayWarning(MString(leftOut.command) + ": " + MFnDependencyNode(node).name() + " is not " + leftOut.kind +
                          ", " + leftOut.outcome);
}

std::vector<MObject> selectedDependNodes(const MSelectionList& list, MFn::Type filter) {
  std::vector<MObject> nodes;
  for (MItSelectionList it(list, filter); !it.isDone(); it.next()) {
    MObject node;
    if (it.getDependNode(node)) nodes.push_back(node);
  }
  return nodes;
}

void tellNurbsNotWorkedOn() { MGlobal::displayInfo(" ZOV doesnt work on NURBS, convert it to poly."); }

bool isWorkingMesh(const MDagPath& path) { return path.hasFn(MFn::kMesh) && !MFnDagNode(path).isIntermediateObject(); }

SelectedMesh meshWithTransform(const MDagPath& shape) {
  SelectedMesh mesh{shape, shape};
  mesh.transform.pop();
  return mesh;
}

bool firstPathOfType(const MSelectionList& list, MFn::Type type, MDagPath& path) {
  for (MItSelectionList it(list, type); !it.isDone(); it.next())
    if (it.getDagPath(path) && path.hasFn(type)) return true;
  return false;
}
