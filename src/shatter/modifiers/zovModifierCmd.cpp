#include "src/shatter/modifiers/zovModifierCmd.h"

#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MFnNumericData.h>
#include <maya/MGlobal.h>
#include <maya/MObjectArray.h>
#include <maya/MPlugArray.h>

#include "src/nodeLinks.h"
#include "src/shatter/meshOpNode.h"
#include "src/userInput.h"

namespace {

/// Runs a shading line without echo and outside the undo queue.
void runShadingLine(const std::string& line) { MGlobal::executeCommand(line.c_str(), false, false); }

std::string faceName(const std::string& mesh, int face) {
  return " " + quotedArgument(mesh + ".f[" + std::to_string(face) + "]");
}

/// A node's name as a command line argument.
std::string quotedName(const MObject& node) {
  return quotedArgument(std::string(MFnDependencyNode(node).name().asChar()));
}

MPlug plugOf(const MObject& node, const char* name) { return MFnDependencyNode(node).findPlug(name, true); }

}  // namespace

MStatus readFloat3Plug(const MPlug& plug, float& x, float& y, float& z) {
  MObject data;
  plug.getValue(data);
  MFnNumericData numbers(data);
  if (numbers.getData(x, y, z)) return MS::kSuccess;
  // A plug whose value is not a numeric object reads its children instead.
  x = plug.numChildren() > 0 ? plug.child(0).asFloat() : 0.0f;
  y = plug.numChildren() > 1 ? plug.child(1).asFloat() : 0.0f;
  z = plug.numChildren() > 2 ? plug.child(2).asFloat() : 0.0f;
  return MS::kSuccess;
}

MObject makeFloat3Data(float x, float y, float z) {
  MFnNumericData numbers;
  const MObject data = numbers.create(MFnNumericData::k3Float);
  numbers.setData(x, y, z);
  return data;
}

zovModifierCmd::zovModifierCmd() : dgModifier(std::make_unique<MDGModifier>()) {}
zovModifierCmd::~zovModifierCmd() = default;

MStatus zovModifierCmd::initModifierNode(MObject) { return MS::kSuccess; }
MStatus zovModifierCmd::directModifier(MObject) { return MS::kSuccess; }

void zovModifierCmd::setMeshPath(const MDagPath& path) {
  givenMeshPath = path;
  hasMeshPath = true;
}

void zovModifierCmd::setNodeType(const MTypeId& id) {
  nodeTypeId = id;
  hasNodeTypeId = true;
}

void zovModifierCmd::setNodeType(const MString& name) {
  nodeTypeName = name;
  hasNodeTypeName = true;
}

void zovModifierCmd::setOperation(std::int32_t type, std::int32_t mode, std::int16_t iterations) {
  nodeOperationType = type;
  nodeOperationMode = mode;
  nodeOperationIter = iterations;
}

bool zovModifierCmd::isMeshPathValid() {
  if (!hasMeshPath || !givenMeshPath.isValid()) return false;
  if (!givenMeshPath.hasFn(MFn::kMesh)) givenMeshPath.extendToShape();
  return givenMeshPath.isValid() && givenMeshPath.apiType() == MFn::kMesh;
}

MStatus zovModifierCmd::applyModifier() {
  if (!isMeshPathValid()) return MS::kFailure;
  const MObject shape = givenMeshPath.node();
  meshHasHistory = plugOf(shape, "inMesh").isDestination();
  meshHasTweaks = false;
  const MPlug tweaks = plugOf(shape, "pnts");
  for (unsigned int i = 0; !tweaks.isNull() && i < tweaks.numElements() && !meshHasTweaks; ++i) {
    const MPlug element = tweaks.elementByPhysicalIndex(i);
    if (element.isNull()) continue;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    readFloat3Plug(element, x, y, z);
    // NaN counts as a tweak too.
    meshHasTweaks = !(x == 0.0f) || !(y == 0.0f) || !(z == 0.0f);
  }
  int recording = 0;
  MGlobal::executeCommand("constructionHistory -q -tgl", recording, false, false);
  recordingHistory = recording != 0;
  shadingBefore = shadingState();

  if (!meshHasHistory && !recordingHistory) {
    cacheMeshData();
    cacheMeshTweaks();
    const MStatus status = directModifier(shape);
    shadingAfter = shadingState();
    return status;
  }
  // Nodes that cannot be made, or that lack the mesh plugs, stop the change
  // before anything is connected; a first node already made is taken back
  // with everything else the modifier holds.
  MStatus status;
  const MObject first = createModifierNode(status);
  if (!status) {
    dropModifierNodes();
    return status;
  }
  initModifierNode(first);
  const MObject second = createModifierNode(status);
  if (!status) {
    dropModifierNodes();
    restoreShading(shadingBefore);
    return status;
  }
  status = connectModifierNodes(first, second);
  shadingAfter = shadingState();
  return status;
}

void zovModifierCmd::dropModifierNodes() {
  dgModifier->undoIt();
  dgModifier = std::make_unique<MDGModifier>();
}

MObject zovModifierCmd::createModifierNode(MStatus& status) {
  status = MS::kFailure;
  MObject node;
  if (hasNodeTypeId)
    node = dgModifier->createNode(nodeTypeId, &status);
  else if (hasNodeTypeName)
    node = dgModifier->createNode(nodeTypeName, &status);
  else
    return MObject();
  if (!status || node.isNull()) {
    status = MS::kFailure;
    return MObject();
  }
  MFnDependencyNode fn(node);
  if (fn.attribute("inMesh").isNull() || fn.attribute("outMesh").isNull()) {
    MGlobal::displayError("Invalid Modifier Node: inMesh and outMesh attributes are required.");
    status = MS::kFailure;
    return MObject();
  }
  return node;
}

void zovModifierCmd::readMeshNode(ModifierLinkData& data) {
  data.meshShape = givenMeshPath.node();
  data.meshTransform = MFnDagNode(data.meshShape).parent(0);
  data.meshInPlug = plugOf(data.meshShape, "inMesh");
  data.meshInAttr = data.meshInPlug.attribute();
}

void zovModifierCmd::readUpstreamNode(ModifierLinkData& data) {
  if (meshHasHistory) {
    data.upstreamOutPlug = data.meshInPlug.source();
    data.upstreamShape = data.upstreamOutPlug.node();
    data.upstreamOutAttr = data.upstreamOutPlug.attribute();
    dgModifier->disconnect(data.upstreamOutPlug, data.meshInPlug);
    return;
  }
  // The unchanged shape, copied, feeds the new history from under the mesh's
  // transform; the copy's own transform goes.
  data.upstreamTransform = MFnDagNode(data.meshShape).duplicate();
  data.upstreamShape = MFnDagNode(data.upstreamTransform).child(0);
  dagModifier.reparentNode(data.upstreamShape, data.meshTransform);
  dagModifier.doIt();
  MFnDagNode(data.upstreamShape).setIntermediateObject(true);
  data.upstreamOutPlug = plugOf(data.upstreamShape, "outMesh");
  data.upstreamOutAttr = data.upstreamOutPlug.attribute();
  dagModifier.deleteNode(data.upstreamTransform);
  dagModifier.doIt();
  copyTransform = data.upstreamTransform;
  copyRemoval.deleteNode(copyTransform);
  MDagPath::getAPathTo(data.upstreamShape, duplicatePath);

  // The blind data types the mesh held go with the copy that now feeds it.
  if (!MFnMesh(data.meshShape).hasBlindData(MFn::kMeshPolygonComponent)) return;
  const MPlug links = plugOf(data.meshShape, "blindDataNodes");
  const MPlug copyLinks = plugOf(data.upstreamShape, "blindDataNodes");
  if (links.isNull() || copyLinks.isNull()) return;
  const MPlug first = links.elementByLogicalIndex(0);
  const MObject blindDataNode = sourceNodeOf(first);
  if (blindDataNode.isNull()) return;
  const MPlug message = plugOf(blindDataNode, "message");
  dgModifier->disconnect(message, first);
  dgModifier->connect(message, copyLinks.elementByLogicalIndex(0));
  dgModifier->doIt();
}

void zovModifierCmd::readModifierNode(const MObject& node, MObject& outAttr, MObject& inAttr) {
  MFnDependencyNode fn(node);
  outAttr = fn.attribute("outMesh");
  inAttr = fn.attribute("inMesh");
}

void zovModifierCmd::moveTweaksToTweakNode(ModifierLinkData& data) {
  tweakIndices.clear();
  tweakVectors.clear();
  if (!meshHasTweaks) return;
  data.tweakNode = dgModifier->createNode("polyTweak");
  MFnDependencyNode tweakFn(data.tweakNode);
  data.tweakNodeOutAttr = tweakFn.attribute("output");
  data.tweakNodeInAttr = tweakFn.attribute("inputPolymesh");
  const MObject tweakAttr = tweakFn.attribute("tweak");

  const MPlug tweaks = plugOf(data.meshShape, "pnts");
  std::vector<MObject> values;
  MIntArray outCounts, inFlags;
  MPlugArray destinations, sources;
  for (unsigned int i = 0; i < tweaks.numElements(); ++i) {
    const MPlug element = tweaks.elementByPhysicalIndex(i);
    if (element.isNull()) continue;
    tweakIndices.append(static_cast<int>(element.logicalIndex()));
    MObject value;
    element.getValue(value);
    values.push_back(value);
    float x = 0.0f, y = 0.0f, z = 0.0f;
    readFloat3Plug(element, x, y, z);
    tweakVectors.append(MFloatVector(x, y, z));
    for (unsigned int j = 0; j < element.numChildren(); ++j) {
      const MPlug child = element.child(j);
      if (!child.isConnected()) {
        outCounts.append(0);
        inFlags.append(0);
        continue;
      }
      MPlugArray driven;
      if (child.connectedTo(driven, false, true)) {
        outCounts.append(static_cast<int>(driven.length()));
        for (unsigned int d = 0; d < driven.length(); ++d) {
          destinations.append(driven[d]);
          dgModifier->disconnect(child, driven[d]);
        }
      } else {
        outCounts.append(0);
      }
      const MPlug source = child.source();
      inFlags.append(source.isNull() ? 0 : 1);
      if (!source.isNull()) {
        sources.append(source);
        dgModifier->disconnect(source, child);
      }
    }
  }
  const MPlug tweakArray(data.tweakNode, tweakAttr);
  unsigned int nextDestination = 0, nextSource = 0;
  for (unsigned int i = 0; i < tweakIndices.length(); ++i) {
    const MPlug element = tweakArray.elementByLogicalIndex(static_cast<unsigned int>(tweakIndices[i]));
    if (MPlug(element).setValue(values[i]) != MS::kSuccess)
      for (unsigned int c = 0; c < element.numChildren() && c < 3; ++c)
        MPlug(element.child(c)).setValue(tweakVectors[i][c]);
    const unsigned int children = element.numChildren();
    for (unsigned int j = 0; j < children; ++j) {
      const unsigned int k = i * children + j;
      for (int n = 0; k < outCounts.length() && n < outCounts[k] && nextDestination < destinations.length(); ++n)
        dgModifier->connect(element.child(j), destinations[nextDestination++]);
      if (k < inFlags.length() && inFlags[k] > 0 && nextSource < sources.length())
        dgModifier->connect(sources[nextSource++], element.child(j));
    }
  }
  clearMeshTweaks();
}

void zovModifierCmd::clearMeshTweaks() {
  if (!meshHasTweaks) return;
  std::vector<MObject> meshes{givenMeshPath.node()};
  if (duplicatePath.isValid()) meshes.push_back(duplicatePath.node());
  for (const MObject& mesh : meshes) {
    const MPlug tweaks = plugOf(mesh, "pnts");
    for (unsigned int i = 0; i < tweakIndices.length(); ++i)
      tweaks.elementByLogicalIndex(static_cast<unsigned int>(tweakIndices[i])).setValue(makeFloat3Data(0, 0, 0));
  }
}

MStatus zovModifierCmd::connectModifierNodes(const MObject& first, const MObject& second) {
  ModifierLinkData data;
  readMeshNode(data);
  readUpstreamNode(data);
  readModifierNode(first, data.firstNodeOutAttr, data.firstNodeInAttr);
  readModifierNode(second, data.secondNodeOutAttr, data.secondNodeInAttr);
  moveTweaksToTweakNode(data);
  if (meshHasTweaks) {
    dgModifier->connect(data.upstreamOutPlug, MPlug(data.tweakNode, data.tweakNodeInAttr));
    dgModifier->connect(MPlug(data.tweakNode, data.tweakNodeOutAttr), MPlug(first, data.firstNodeInAttr));
  } else {
    dgModifier->connect(data.upstreamOutPlug, MPlug(first, data.firstNodeInAttr));
  }
  dgModifier->connect(MPlug(first, data.firstNodeOutAttr), MPlug(second, data.secondNodeInAttr));
  dgModifier->connect(MPlug(second, data.secondNodeOutAttr), data.meshInPlug);
  const MStatus status = dgModifier->doIt();
  applyShadingSets(first);
  return status;
}

void zovModifierCmd::applyShadingSets(const MObject& node) {
  // Reading the mesh evaluates the new history, which fills the node's record.
  plugOf(givenMeshPath.node(), "inMesh").asMObject();
  MFnDependencyNode nodeFn(node);
  auto* base = dynamic_cast<zovModifierBaseNode*>(nodeFn.userNode());
  MFnMesh mesh(givenMeshPath);
  if (!base) return;
  if (base->uvSetNames.length() > 0 && mesh.currentUVSetName() != base->uvSetNames[0])
    mesh.renameUVSet(mesh.currentUVSetName(), base->uvSetNames[0]);
  const std::string name = mesh.name().asChar();
  if (base->shadingSets.length() == 0 || base->shadingSets[0].isNull()) {
    runShadingLine("sets -e -fe initialShadingGroup " + quotedArgument(name));
  } else {
    const int faces = mesh.numPolygons();
    const unsigned int sets = base->shadingSets.length();
    if (sets == 1) {
      std::string line = "sets -e -fe " + quotedName(base->shadingSets[0]);
      for (int f = 0; f < faces; ++f) line += faceName(name, f);
      runShadingLine(line);
    } else {
      // One command per set, listing every face that uses it.
      std::vector<int> entries(static_cast<size_t>(faces), 0);
      for (int f = 0; f < faces && static_cast<unsigned int>(f) < base->faceShadingIndex.length(); ++f)
        entries[static_cast<size_t>(f)] = base->faceShadingIndex[static_cast<unsigned int>(f)] + 1;
      for (int f = 0; f < faces; ++f) {
        const int v = entries[static_cast<size_t>(f)];
        if (v < 1 || v > static_cast<int>(sets)) continue;
        std::string line =
            "sets -e  -fe " + quotedName(base->shadingSets[static_cast<unsigned int>(v - 1)]) + faceName(name, f);
        for (int g = f + 1; g < faces; ++g)
          if (entries[static_cast<size_t>(g)] == v) {
            line += faceName(name, g);
            entries[static_cast<size_t>(g)] = -v;
          }
        runShadingLine(line);
      }
    }
  }
  mesh.syncObject();
}

MStatus zovModifierCmd::cacheMeshData() {
  MObject copy = MFnDagNode(givenMeshPath.node()).duplicate();
  MDagPath copyPath;
  MDagPath::getAPathTo(copy, copyPath);
  copyPath.extendToShape();
  MStatus status;
  cachedMesh = plugOf(copyPath.node(), "outMesh").asMObject(&status);
  MGlobal::deleteNode(copy);
  return status;
}

void zovModifierCmd::cacheMeshTweaks() {
  tweakIndices.clear();
  tweakVectors.clear();
  if (!meshHasTweaks) return;
  const MPlug tweaks = plugOf(givenMeshPath.node(), "pnts");
  for (unsigned int i = 0; i < tweaks.numElements(); ++i) {
    const MPlug element = tweaks.elementByPhysicalIndex(i);
    if (element.isNull()) continue;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    readFloat3Plug(element, x, y, z);
    tweakIndices.append(static_cast<int>(element.logicalIndex()));
    tweakVectors.append(MFloatVector(x, y, z));
  }
}

MStatus zovModifierCmd::undoModifier() {
  MStatus status;
  if (!meshHasHistory && !recordingHistory) {
    status = undoDirectModifier();
  } else {
    dgModifier->undoIt();
    if (!meshHasHistory) {
      restoreMeshFromCopy();
      dagModifier.undoIt();
      copyRemoval.doIt();
    }
    status = restoreMeshTweaks();
  }
  restoreShading(shadingBefore);
  return status;
}

MStatus zovModifierCmd::restoreMeshFromCopy() {
  if (meshHasHistory || !duplicatePath.isValid()) return MS::kSuccess;
  const MObject mesh = givenMeshPath.node();
  const MPlug copyOut = plugOf(duplicatePath.node(), "outMesh");
  if (meshHasTweaks) {
    MDGModifier link;
    link.connect(copyOut, plugOf(mesh, "inMesh"));
    link.doIt();
    MGlobal::executeCommand("dgeval -src " + quotedArgument(MFnDependencyNode(mesh).name() + ".inMesh"), false, false);
    link.undoIt();
    return MS::kSuccess;
  }
  return plugOf(mesh, "outMesh").setValue(copyOut.asMObject());
}

MStatus zovModifierCmd::undoDirectModifier() {
  // The mesh takes back the mesh it gave before (its tweaks on top of it).
  const MStatus status = plugOf(givenMeshPath.node(), "outMesh").setValue(cachedMesh);
  if (!meshHasTweaks) return status;
  return restoreMeshTweaks();
}

MStatus zovModifierCmd::restoreMeshTweaks() {
  if (!meshHasTweaks) return MS::kSuccess;
  const MPlug tweaks = plugOf(givenMeshPath.node(), "pnts");
  MStatus status;
  for (unsigned int i = 0; i < tweakIndices.length(); ++i) {
    const MFloatVector& v = tweakVectors[i];
    status = tweaks.elementByLogicalIndex(static_cast<unsigned int>(tweakIndices[i]))
                 .setValue(makeFloat3Data(v.x, v.y, v.z));
  }
  return status;
}

MStatus zovModifierCmd::redoModifier() {
  if (!meshHasHistory && !recordingHistory) {
    const MStatus status = directModifier(givenMeshPath.node());
    restoreShading(shadingAfter);
    return status;
  }
  if (!meshHasHistory) {
    copyRemoval.undoIt();
    dagModifier.doIt();
  }
  const MStatus status = dgModifier->doIt();
  clearMeshTweaks();
  restoreShading(shadingAfter);
  return status;
}

zovModifierCmd::ShadingState zovModifierCmd::shadingState() const {
  ShadingState state;
  MObjectArray groups;
  MIntArray indices;
  MFnMesh(givenMeshPath).getConnectedShaders(givenMeshPath.instanceNumber(), groups, indices);
  for (unsigned int g = 0; g < groups.length(); ++g) {
    MIntArray faces;
    for (unsigned int f = 0; f < indices.length(); ++f)
      if (indices[f] == static_cast<int>(g)) faces.append(static_cast<int>(f));
    state.emplace_back(MFnDependencyNode(groups[g]).name().asChar(), faces);
  }
  return state;
}

void zovModifierCmd::restoreShading(const ShadingState& state) const {
  const std::string name = MFnDependencyNode(givenMeshPath.node()).name().asChar();
  for (const auto& [group, faces] : shadingState())
    runShadingLine("sets -rm " + quotedArgument(group) + " " + quotedArgument(name));
  for (const auto& [group, faces] : state) {
    if (faces.length() == 0) continue;
    std::string line = "sets -e -fe " + quotedArgument(group);
    for (unsigned int i = 0; i < faces.length(); ++i) line += faceName(name, faces[i]);
    runShadingLine(line);
  }
}
