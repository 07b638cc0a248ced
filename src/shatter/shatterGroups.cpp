#include "src/shatter/shatterGroups.h"

#include <maya/MAnimControl.h>
#include <maya/MAnimUtil.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MPlug.h>

#include <memory>

#include "src/hostUtilities.h"
#include "src/meshes/meshConversion.h"
#include "src/meshes/shardOutput.h"
#include "src/nodeLinks.h"
#include "src/shatter/voronoiNode.h"
#include "src/userInput.h"

namespace {

/// The version text the shatter writes into its records.
const char* const kRecordVersion = "4.0";

MString nodeName(const MObject& node) { return MFnDependencyNode(node).name(); }

/// Points in a flat buffer of engine vectors.
const Mgc::MgcVector3* dataOf(const std::vector<Mgc::MgcVector3>& points) {
  return points.empty() ? nullptr : points.data();
}

}  // namespace

MDagPath transformOfShape(const MDagPath& shapePath) {
  MDagPath transform = shapePath;
  transform.pop();
  return transform;
}

bool toMeshShape(MDagPath& path) {
  if (path.hasFn(MFn::kMesh) && !path.hasFn(MFn::kTransform)) return true;
  MDagPath shape;
  if (!path.hasFn(MFn::kTransform) || !firstMeshBelow(path, shape)) return false;
  path = shape;
  return true;
}

MObject createShatterVoronoiNode(MDagModifier& modifier, const ShatterRecord& record, MStatus* status) {
  MStatus result;
  const MDagPath transformPath = transformOfShape(record.shapePath);
  const MObject transform = modifier.createNode(voronoiNode::id, MObject::kNullObj, &result);
  if (transform.isNull()) {
    if (status) *status = MS::kFailure;
    return transform;
  }
  if (record.renameTransform) modifier.renameNode(transform, nodeName(transformPath.node()) + "zovTRSVoro");
  result = modifier.doIt();

  MFnDependencyNode source(transformPath.node());
  MFnDependencyNode target(transform);
  copyTranslateRotate(source, target);

  MFnDagNode transformFn(transform);
  voronoiNode* node = transformFn.childCount() > 0 ? userNodeOf<voronoiNode>(transformFn.child(0)) : nullptr;
  if (!node) {
    if (status) *status = result;
    return transform;
  }
  const MObject nodeObject = node->thisMObject();
  MPlug(nodeObject, voronoiNode::version).setString(kRecordVersion);
  const MMatrix toObject = record.matrix.inverse();
  node->settings.style = record.style;
  voronoiNode::setCutMatName(node, record.cutMaterialName);
  node->settings.ringCount = record.ringCount;
  node->settings.noise = record.noise;

  if (!record.seedsB.empty())
    voronoiNode::setVoroPoints(node, record.seedsB.data(), static_cast<unsigned int>(record.seedsB.size()), toObject);
  voronoiNode::addVoroPoints(node, dataOf(record.seedsA), static_cast<unsigned int>(record.seedsA.size()), toObject);
  voronoiNode::assignNextIndex(node);
  voronoiNode::setScheme(node, record.scheme);
  node->shaderNames = record.shaderNames;
  voronoiNode::setShatterTime(node, MAnimControl::currentTime());

  if (voronoiNode* previous = userNodeOf<voronoiNode>(record.previousNode)) {
    MBoundingBox box;
    for (unsigned int k = 0; k < voronoiNode::numBoundingBoxes(previous); ++k)
      voronoiNode::setBoundingBox(node, voronoiNode::getBoundingBox(previous, box, k));
    for (unsigned int g = 0; g < voronoiNode::numVoroGroups(previous); ++g) {
      const int seeds = voronoiNode::getVoroGroup(previous, g);
      if (seeds > 0) voronoiNode::setVoroGroup(node, static_cast<short>(seeds));
    }
    MDagPath previousPath;
    MDagPath::getAPathTo(record.previousNode, previousPath);
    MDagPath previousGroup = previousPath;
    previousGroup.pop(2);
    if (previousGroup.length() > 0) {
      storeGroupShapes(node, previousGroup, record.shaderNames);
      MDagModifier remover;
      remover.deleteNode(previousGroup.node());
      remover.doIt();
    }
  }
  if (!record.seedsA.empty()) {
    MBoundingBox box = record.box;
    voronoiNode::setBoundingBox(node, box.transformUsing(toObject));
    voronoiNode::setVoroGroup(node, static_cast<short>(record.seedsA.size()));
  }
  if (!record.cells.empty())
    voronoiNode::setDisplayCells(node, record.cells.data(), static_cast<unsigned int>(record.cells.size()));
  MPlug(nodeObject, voronoiNode::drawAttr).setInt(1);
  pullPlug(nodeObject, voronoiNode::cadraw);

  const MPlug worldMesh = MFnDependencyNode(record.shapePath.node()).findPlug("worldMesh");
  modifier.connect(worldMesh.elementByLogicalIndex(record.shapePath.instanceNumber()),
                   MPlug(nodeObject, voronoiNode::inShape));
  result = modifier.doIt();
  if (status) *status = result;
  return transform;
}

void storeGroupShapes(voronoiNode* node, const MDagPath& group, const MStringArray& shaderNames) {
  if (!node || !group.isValid() || group.childCount() == 0) return;
  node->allocateStoredShapes(group.childCount() - 1);
  for (unsigned int c = 0; c < group.childCount(); ++c) {
    MDagPath mesh = group;
    mesh.push(group.child(c));
    if (!toMeshShape(mesh)) continue;
    MObjectArray groups;
    MIntArray indices;
    getMeshShaders(mesh, groups, indices);
    MFnMesh fn(mesh);
    MStringArray uvSets(shaderNames);
    DFmeshPtr engine(mayaMeshToEngineMesh(fn, indices, uvSets, MString()));
    if (!engine) continue;
    if (node->storedCount >= node->storedShapes.size()) {
      MGlobal::displayWarning(" shape couldnt be stored");
      continue;
    }
    voronoiNode::StoredShape& slot = node->storedShapes[node->storedCount++];
    slot.mesh = std::move(engine);
    slot.shadingGroups = groups;
  }
}

bool hidesShapeOnly(const MDagPath& shapePath, bool hasLocator) {
  const MDagPath transform = transformOfShape(shapePath);
  if (MAnimUtil::isAnimated(transform.node())) return true;
  return transform.childCount() > (hasLocator ? 2u : 1u);
}

MString groupShards(const MDagPath& shapePath, bool hideShapeOnly, const MObjectArray& shards,
                    const MObject& voronoiTransform) {
  const MDagPath transformPath = transformOfShape(shapePath);
  const MString transform = nodeName(transformPath.node());
  MGlobal::executeCommand("hide " + quotedArgument((hideShapeOnly ? shapePath : transformPath).fullPathName()), false,
                          false);

  MString line = "group -em -name " + quotedArgument(transform + "ShatterGroup");
  MDagPath parent = transformPath;
  parent.pop();
  if (hideShapeOnly)
    line += " -parent " + quotedArgument(transformPath.fullPathName());
  else if (parent.length() > 0 && parent.hasFn(MFn::kTransform))
    line += " -parent " + quotedArgument(parent.fullPathName());
  MString group = transform + "ShatterGroup";
  MGlobal::executeCommand(line, group, false, false);

  MString deferred = "undoInfo -swf off; parent ";
  for (unsigned int i = 0; i < shards.length(); ++i) {
    MFnDagNode shard(shards[i]);
    shard.setName(transform + "_shard#");
    deferred += quotedArgument(shard.partialPathName()) + " ";
  }
  if (!voronoiTransform.isNull()) {
    const MString voronoi = quotedArgument(MFnDagNode(voronoiTransform).partialPathName());
    deferred += voronoi + " " + quotedArgument(group) + ";select " + voronoi + ";undoInfo -swf on;";
  } else {
    deferred += quotedArgument(group) + ";undoInfo -swf on;";
  }
  MGlobal::executeCommandOnIdle(deferred);
  return group;
}
