#include "src/shatter/modifiers/tesselateFacesCmd.h"

#include <maya/MFnComponentListData.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>
#include <maya/MMatrix.h>
#include <maya/MObjectArray.h>
#include <maya/MPlug.h>
#include <maya/MSelectionList.h>

#include <iostream>
#include <string>

#include "engine/MeshFactory.h"
#include "engine/shatter/ShatterMeshOps.h"
#include "src/meshes/engineMeshOutput.h"
#include "src/meshes/meshConversion.h"
#include "src/meshes/shardOutput.h"
#include "src/shatter/meshOpNode.h"
#include "src/userInput.h"

namespace {

const char* const kOperationLabels[] = {"Subdivide edge(s).", "Subdivide face(s).", "Extrude edge(s).",
                                        "Extrude face(s).",   "Collapse edge(s).",  "Collapse face(s).",
                                        "Duplicate face(s).", "Extract face(s).",   "Split face(s)."};
/// Iterations of the in-place subdivision, whatever was asked.
constexpr std::uint16_t kDirectIterations = 2;
/// A shading index of -1 (no set) as the engine's face byte keeps it.
constexpr int kTessellationByteMask = 0xFF;

void printUsage() {
  std::cerr << "Expecting one parameter: the operation type." << std::endl;
  std::cerr << "Valid types are: " << std::endl;
  for (int i = 0; i < 9; ++i) std::cerr << "   " << i << " - " << kOperationLabels[i] << std::endl;
}

std::string faceOf(const std::string& mesh, std::uint32_t face) {
  return " " + quotedArgument(mesh + ".f[" + std::to_string(face) + "]");
}

}  // namespace

MStatus tesselateFacesCmd::doIt(const MArgList& arguments) {
  if (arguments.length() != 1) {
    printUsage();
    MGlobal::displayError(" Expecting one parameter: the operation type.");
    return MS::kFailure;
  }
  nodeOperationType = arguments.asInt(0);
  MSelectionList selection;
  MGlobal::getActiveSelectionList(selection);
  bool found = false;
  for (MItSelectionList item(selection, MFn::kMesh); !item.isDone(); item.next()) {
    MDagPath path;
    MObject component;
    item.getDagPath(path, component);
    if (component.isNull() || component.apiType() != MFn::kMeshPolygonComponent) continue;
    if (found) {
      MGlobal::displayWarning("Found more than one object with selected components.");
      MGlobal::displayWarning("Only operating on first found object.");
      break;
    }
    MFnComponentListData list;
    componentList = list.create();
    list.add(component);
    path.extendToShape();
    setMeshPath(path);
    found = true;
  }
  if (!found) {
    MGlobal::displayError("meshOp command failed: Unable to find selected components");
    return MS::kFailure;
  }
  return reported(applyModifier());
}

MStatus tesselateFacesCmd::redoIt() { return reported(redoModifier()); }

MStatus tesselateFacesCmd::reported(const MStatus& status) {
  if (status)
    setResult("meshOp command succeeded!");
  else
    MGlobal::displayError("meshOp command failed!");
  return status;
}

MStatus tesselateFacesCmd::undoIt() {
  const MStatus status = undoModifier();
  setResult(status ? "meshOp undo succeeded!" : "meshOp undo failed!");
  return status;
}

MStatus tesselateFacesCmd::initModifierNode(MObject node) {
  MFnDependencyNode fn(node);
  MStatus status = fn.findPlug("inputComponents", true).setValue(componentList);
  if (!status) return status;
  fn.findPlug("operationType", true).setValue(static_cast<int>(nodeOperationType));
  fn.findPlug("operationMode", true).setValue(static_cast<int>(nodeOperationMode));
  status = fn.findPlug("operationIter", true).setValue(static_cast<short>(nodeOperationIter));
  auto* base = dynamic_cast<zovModifierBaseNode*>(fn.userNode());
  if (!base) return status;
  const MDagPath mesh = meshPath();
  base->captureMeshShading(mesh);
  if (base->shadingSets.length() > 0)
    MGlobal::executeCommand("sets -rm " + quotedArgument(MFnDependencyNode(base->shadingSets[0]).name()) + " " +
                                quotedArgument(MFnDependencyNode(mesh.node()).name()),
                            false, false);
  return status;
}

MStatus tesselateFacesCmd::directModifier(MObject) {
  const MDagPath path = meshPath();
  MFnMesh mesh(path);
  MObjectArray sets;
  MIntArray shading;
  getMeshShaders(path, sets, shading);
  if (mesh.name().length() == 0) mesh.setName("modopmesh");
  // The mesh is rebuilt where it is: in its own space.
  MStringArray uvSets;
  const MMatrix ownSpace;
  DFmeshPtr engine(mayaMeshToEngineMeshWorld(path, shading, uvSets, &ownSpace));
  if (!engine) return MS::kSuccess;
  subdivideDFmeshFaces(engine.get(), kDirectIterations, true);
  const MStatus status = engineMeshToMayaMesh(*engine, mesh, uvSets, nullptr);
  if (!status) return status;
  setCutFaceBlindData(*engine, mesh);

  const std::string name = mesh.name().asChar();
  if (sets.length() == 0) {
    MGlobal::executeCommand(("sets -e -fe initialShadingGroup " + quotedArgument(name)).c_str(), false, false);
  } else if (sets.length() == 1) {
    std::string line = "sets -e -fe " + quotedArgument(std::string(MFnDependencyNode(sets[0]).name().asChar()));
    for (std::uint32_t f = 0; f < engine->numFaces; ++f) line += faceOf(name, f);
    MGlobal::executeCommand(line.c_str(), false, false);
  } else {
    for (std::uint32_t f = 0; f < engine->numFaces; ++f) {
      const unsigned int set = engine->faces[f].faceByte & kTessellationByteMask;
      if (set >= sets.length()) continue;
      MGlobal::executeCommand(
          ("sets -e  -fe " + quotedArgument(std::string(MFnDependencyNode(sets[set]).name().asChar())) +
           faceOf(name, f))
              .c_str(),
          false, false);
    }
  }
  return MS::kSuccess;
}
