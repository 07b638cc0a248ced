// zovShatter -undoLast: takes a shattered object back by one level from
// what its voronoi node recorded.
#include <maya/MAnimControl.h>
#include <maya/MAnimUtil.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>

#include <vector>

#include "src/commandSelection.h"
#include "src/hostUtilities.h"
#include "src/meshes/shardOutput.h"
#include "src/nodeLinks.h"
#include "src/shatter/cutMaterial.h"
#include "src/shatter/shatterCmd.h"
#include "src/shatter/shatterGroups.h"
#include "src/shatter/voronoiNode.h"
#include "src/userInput.h"

namespace {

/// Undo recording off and the wait cursor on for the scope's life.
class BusyScope {
 public:
  BusyScope() {
    MGlobal::executeCommand("undoInfo -swf off", false, false);
    MGlobal::executeCommand("waitCursor -state on", false, false);
  }
  ~BusyScope() {
    MGlobal::executeCommand("waitCursor -state off", false, false);
    MGlobal::executeCommand("undoInfo -swf on", false, false);
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
};

/// The tail of the deferred group text after the group's name: where it goes.
MString groupPlacement(const MDagPath& transformPath) {
  if (MAnimUtil::isAnimated(transformPath.node()))
    return " -parent " + quotedArgument(transformPath.fullPathName()) + " ";
  MDagPath parent = transformPath;
  parent.pop();
  if (parent.length() > 0 && parent.hasFn(MFn::kTransform))
    return " -parent " + quotedArgument(parent.fullPathName()) + " ";
  return " ";
}

}  // namespace

MStatus shatterCmd::undoLastShatter(const MDagPath& shapePath) {
  MObject nodeObject;
  findVoronoiForShape(shapePath, nodeObject);
  voronoiNode* node = userNodeOf<voronoiNode>(nodeObject);
  if (!node) return failWithError("voronoi node not found, abort");
  if (node->settings.pointsB.length() == 0) {
    MGlobal::executeCommandOnIdle("warning -noContext \"shatter history not found, use undoAll\"");
    setResult(0);
    return MS::kSuccess;
  }
  const MPlug inShape(nodeObject, voronoiNode::inShape);
  if (inShape.isNull()) {
    MGlobal::executeCommandOnIdle("error -noContext \"voronoi node shape attribute not found, abort\"");
    setResult(0);
    return MS::kFailure;
  }
  const MObject source = sourceNodeOf(inShape);
  MDagPath sourceShape;
  if (!source.hasFn(MFn::kMesh) || !MDagPath::getAPathTo(source, sourceShape))
    return failWithError("voronoi node shape not found, abort");

  BusyScope busy;
  markChanged();
  const MDagPath transformPath = meshWithTransform(sourceShape).transform;
  const MString transformName = MFnDependencyNode(transformPath.node()).name();
  if (MAnimUtil::isAnimated(transformPath.node())) MAnimControl::setCurrentTime(voronoiNode::getShatterTime(node));
  const CutMaterial recorded =
      recordedCutMaterial(MFnDependencyNode(nodeObject).name(), voronoiNode::getCutMatName(node));
  const bool useCutMaterial = recorded.shadingGroup.length() > 0;
  cutMaterialName = useCutMaterial ? recorded.shader : MString(kNoCutMaterial);
  cutShadingGroup = useCutMaterial ? recorded.shadingGroup : cutMaterialName + "SG";

  MObjectArray meshes;
  if (node->storedCount == 0) {
    ShatterSettings settings;
    voronoiNode::getWorldPoints(node, settings.pointsA, false);
    settings.cutMaterialName = cutMaterialName;
    const MStatus status =
        shatterObject(sourceShape, settings.pointsA.length(), 0, nullptr, nullptr, useCutMaterial, settings, meshes);
    if (!status) return status;
  } else {
    restoreStoredLevel(*node, sourceShape, useCutMaterial, meshes);
  }
  queueShatterGroup(transformPath, transformName, meshes);
  setResult(1);
  return MS::kSuccess;
}

void shatterCmd::restoreStoredLevel(voronoiNode& node, const MDagPath& sourceShape, bool useCutMaterial,
                                    MObjectArray& meshes) {
  const MDagPath transformPath = meshWithTransform(sourceShape).transform;
  const MString transformName = MFnDependencyNode(transformPath.node()).name();
  MFnMesh source(sourceShape);
  source.getUVSetNames(shaderNames);
  MStringArray linkedTextures[kLinkedUVSets];
  queryUVSetLinks(shaderNames, source.name(), linkedTextures);
  MDagPath nodePath;
  MDagPath::getAPathTo(node.thisMObject(), nodePath);
  MDagPath oldTransform = nodePath;
  oldTransform.pop();
  MDagPath group = oldTransform;
  group.pop();
  // The path leads through the group, which goes: keep the node itself.
  const MObject oldTransformNode = oldTransform.node();
  modifier->reparentNode(oldTransformNode);
  modifier->doIt();
  if (group.length() > 0) {
    MDagModifier remover;
    remover.deleteNode(group.node());
    remover.doIt();
  }
  std::vector<ZOV_DFmesh*> rebuilt;
  for (unsigned int slot = 0; slot < node.storedCount; ++slot) {
    voronoiNode::StoredShape& stored = node.storedShapes[slot];
    if (!stored.mesh) continue;
    stored.mesh->dfWord = static_cast<std::uint16_t>(slot);
    MObject made;
    if (createShardMeshesInSets(stored.mesh.get(), useCutMaterial, source.displayColors(), transformName,
                                cutShadingGroup, shadingGroupsInScene(stored.shadingGroups), shaderNames,
                                linkedTextures, &made)) {
      meshes.append(made);
      rebuilt.push_back(stored.mesh.get());
    }
  }
  const MObject transform = modifier->createNode(voronoiNode::id);
  modifier->doIt();
  lastVoronoiTransform = transform;
  MFnDependencyNode from(transformPath.node());
  MFnDependencyNode to(transform);
  copyTranslateRotate(from, to);
  MFnDagNode transformFn(transform);
  voronoiNode* renewed = transformFn.childCount() > 0 ? userNodeOf<voronoiNode>(transformFn.child(0)) : nullptr;
  if (renewed) renewRecord(node, *renewed, rebuilt, sourceShape);
  MDagModifier remover;
  remover.deleteNode(oldTransformNode);
  remover.doIt();
}

void shatterCmd::renewRecord(voronoiNode& node, voronoiNode& renewed, std::vector<ZOV_DFmesh*>& rebuilt,
                             const MDagPath& sourceShape) {
  voronoiNode::replaceVoroPoints(&renewed, node.settings.pointsB);
  renewed.settings.style = node.settings.style;
  voronoiNode::setScheme(&renewed, voronoiNode::getScheme(&node));
  voronoiNode::setCutMatName(&renewed, voronoiNode::getCutMatName(&node));
  renewed.settings.ringCount = node.settings.ringCount;
  renewed.settings.noise = node.settings.noise;
  renewed.shaderNames = node.shaderNames;
  voronoiNode::assignNextIndex(&renewed);
  MBoundingBox box;
  const unsigned int boxes = voronoiNode::numBoundingBoxes(&node);
  for (unsigned int k = 0; k + 1 < boxes; ++k)
    voronoiNode::setBoundingBox(&renewed, voronoiNode::getBoundingBox(&node, box, k));
  std::vector<short> levels;
  for (unsigned int g = 0; g < voronoiNode::numVoroGroups(&node); ++g)
    if (voronoiNode::getVoroGroup(&node, g) > 0)
      levels.push_back(static_cast<short>(voronoiNode::getVoroGroup(&node, g)));
  if (!levels.empty()) levels.pop_back();
  for (short level : levels) voronoiNode::setVoroGroup(&renewed, level);
  if (!rebuilt.empty())
    voronoiNode::setDisplayCells(&renewed, rebuilt.data(), static_cast<unsigned int>(rebuilt.size()));
  const MObject renewedObject = renewed.thisMObject();
  MPlug(renewedObject, voronoiNode::drawAttr).setInt(1);
  pullPlug(renewedObject, voronoiNode::cadraw);
  const MPlug worldMesh = MFnDependencyNode(sourceShape.node()).findPlug("worldMesh");
  modifier->connect(worldMesh.elementByLogicalIndex(sourceShape.instanceNumber()),
                    MPlug(renewedObject, voronoiNode::inShape));
  modifier->doIt();
}

void shatterCmd::queueShatterGroup(const MDagPath& transformPath, const MString& transformName,
                                   const MObjectArray& meshes) const {
  // The renewed shards join the group as well as the rebuilt ones.
  MString text = "undoInfo -swf off; group -name " + quotedArgument(transformName + "ShatterGroup") +
                 groupPlacement(transformPath);
  for (unsigned int i = 0; i < meshes.length(); ++i)
    text += quotedArgument(MFnDagNode(meshes[i]).partialPathName()) + " ";
  if (!lastVoronoiTransform.isNull()) {
    const MString voronoi = quotedArgument(MFnDagNode(lastVoronoiTransform).partialPathName());
    text += voronoi + " ;select " + voronoi;
  }
  text += ";undoInfo -swf on";
  MGlobal::executeCommandOnIdle(text);
}
