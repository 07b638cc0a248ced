#include "src/shatter/adquireShatterCmd.h"

#include <maya/MAnimUtil.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>

#include <algorithm>
#include <string>
#include <vector>

#include "src/hostEngineConversions.h"
#include "src/hostUtilities.h"
#include "src/meshes/cutFaceTags.h"
#include "src/nodeLinks.h"
#include "src/shatter/cutMaterial.h"
#include "src/shatter/progressReservation.h"
#include "src/shatter/shatterGroups.h"
#include "src/shatter/voronoiNode.h"
#include "src/userInput.h"

namespace {

const char* const kAdquireSource = "..\\src\\adquireShatterCmd";
const char* const kReplaceMatFlag = "-rmt";
const char* const kSourceFlag = "-reo";

}  // namespace

void* adquireShatterCmd::creator() { return new adquireShatterCmd; }

MSyntax adquireShatterCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag(kReplaceMatFlag, "-replaceMat", MSyntax::kString);
  syntax.addFlag(kSourceFlag, "-refObject", MSyntax::kSelectionItem);
  syntax.setObjectType(MSyntax::kSelectionList);
  syntax.setMinObjects(0);
  syntax.setMaxObjects(1);
  syntax.useSelectionAsDefault(false);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus adquireShatterCmd::doIt(const MArgList& arguments) {
  MStatus status;
  auto parsed = std::make_unique<MArgDatabase>(syntax(), arguments, &status);
  if (!status) return status;
  m_arguments = std::move(parsed);
  return redoIt();
}

MStatus adquireShatterCmd::replaceMaterial(const MSelectionList& objects, const MString& material) {
  const CutMaterial cut = findOrCreateCutMaterial(material);
  MDagPath item;
  objects.getDagPath(0, item);
  if (!item.isValid() || !toMeshShape(item)) return MS::kSuccess;
  MDagPath group = item;
  group.pop(2);
  for (unsigned int c = 0; c < group.childCount(); ++c) {
    MDagPath shard = group;
    shard.push(group.child(c));
    if (!toMeshShape(shard)) continue;
    MFnMesh mesh(shard);
    const std::string name = mesh.fullPathName().asChar();
    std::string faces;
    for (int f = 0; f < mesh.numPolygons(); ++f) {
      int value = 0;
      if (mesh.getIntBlindData(f, MFn::kMeshPolygonComponent, kCutFaceBlindDataId, kCutFaceAttribute, value) &&
          value > 0)
        faces += " " + quotedArgument(name + ".f[" + std::to_string(f) + "]");
    }
    // Without faces the command would act on the selection.
    if (faces.empty()) continue;
    MGlobal::executeCommand(
        ("sets -e -nw -fe " + quotedArgument(std::string(cut.shadingGroup.asChar())) + faces).c_str(), false, false);
    markChanged();
  }
  return MS::kSuccess;
}

bool adquireShatterCmd::addSourceLevels(voronoiNode& source, const MDagPath& shapePath, voronoiNode* made,
                                        const MMatrix& matrix, bool useCutMaterial, MObjectArray& shards) {
  // A level's seeds follow the earlier levels' seeds in the source's points.
  unsigned int first = static_cast<unsigned int>(std::max(voronoiNode::getVoroGroup(&source, 0), 0));
  for (unsigned int level = 1; level < voronoiNode::numVoroGroups(&source); ++level) {
    const int count = voronoiNode::getVoroGroup(&source, level);
    if (count <= 0) continue;
    std::vector<Mgc::MgcVector3> seeds;
    MPoint point;
    for (unsigned int i = first; i < first + static_cast<unsigned int>(count); ++i)
      seeds.push_back(toEngine(voronoiNode::getVoroPoint(&source, point, i, false) * matrix));
    first += static_cast<unsigned int>(count);
    MBoundingBox box;
    voronoiNode::getBoundingBox(&source, box, level);
    box.transformUsing(matrix);
    if (!addShatterLevel(shapePath, made, seeds, box, matrix, useCutMaterial, shards)) return false;
  }
  return true;
}

MStatus adquireShatterCmd::undoIt() { return flushUndoQueue(); }

MStatus adquireShatterCmd::redoIt() {
  if (!m_arguments) return MS::kFailure;
  const MArgDatabase& arguments = *m_arguments;
  MString material;
  const bool replacing = arguments.isFlagSet(kReplaceMatFlag);
  if (replacing) arguments.getFlagArgument(kReplaceMatFlag, 0, material);
  // The material is made or found by its name: one the host cannot give is refused.
  if (replacing && !checkNodeNameFlag("zovAdqShatter", "-replaceMat", material)) return MS::kFailure;
  MSelectionList objects;
  arguments.getObjects(objects);
  if (objects.length() == 0) {
    displayError("no poly object selected");
    return MS::kFailure;
  }
  if (!m_modifier) m_modifier = std::make_unique<MDagModifier>();
  if (replacing) return replaceMaterial(objects, material);

  ProgressReservation progress;
  if (!progress.reserve()) {
    displayError("Progress window already in use.");
    return MS::kFailure;
  }
  progress.start(100, "Precutting..", kAdquireSource);

  MSelectionList sources;
  if (arguments.isFlagSet(kSourceFlag)) arguments.getFlagArgument(kSourceFlag, 0, sources);
  MObject sourceObject;
  if (sources.length() == 0 || !sources.getDependNode(0, sourceObject)) {
    displayError("no shatter group selected");
    return MS::kFailure;
  }
  voronoiNode* source = userNodeOf<voronoiNode>(sourceObject);
  if (!source) {
    displayError("shatter group doesnt has voronoi node");
    return MS::kFailure;
  }
  MString cutMaterial = recordedCutMaterial(MFnDependencyNode(sourceObject).name(), voronoiNode::getCutMatName(source));
  bool useCutMaterial = cutMaterial.length() > 0;
  if (!useCutMaterial) cutMaterial = kNoCutMaterial;
  setCutMaterial(cutMaterial, cutMaterial + "SG");
  useReshatterSettings();

  MItSelectionList it(objects, MFn::kGeometric);
  if (it.isDone()) {
    displayError(" no shape selected");
    return MS::kFailure;
  }
  MStringArray groups;
  for (; !it.isDone(); it.next()) {
    MDagPath shapePath;
    if (!it.getDagPath(shapePath) || !shapePath.hasFn(MFn::kMesh) || MFnDagNode(shapePath).isIntermediateObject())
      continue;
    if (MAnimUtil::isAnimated(shapePath) || isScaleAnimated(shapePath)) {
      displayError("cannot shatter an animated mesh");
      return MS::kFailure;
    }
    if (hasVoronoiNode(shapePath)) {
      displayError("this shape is connected to another shatter group");
      return MS::kFailure;
    }
    MDagPath transformPath = shapePath;
    transformPath.pop();
    const bool nonconforming = voronoiNode::getScheme(source) == kVoroNonconform;
    const unsigned int count = nonconforming
                                   ? static_cast<unsigned int>(std::max(voronoiNode::getVoroGroup(source, 0), 0))
                                   : voronoiNode::numVoroPoints(source);
    if (count == 0) {
      displayError("aquire shatter fails, original voronode is empty");
      return MS::kFailure;
    }
    // The source recorded its seeds and boxes in its object's space: the
    // target's matrix alone puts them where the target stands.
    ShatterSettings settings;
    MPoint point;
    for (unsigned int i = 0; i < count; ++i)
      settings.pointsA.append(voronoiNode::getVoroPoint(source, point, i, false));
    settings.matrix = transformPath.inclusiveMatrix();
    voronoiNode::getBoundingBox(source, settings.box, 0);
    settings.box.transformUsing(settings.matrix);
    settings.cutMaterialName = cutMaterial;
    settings.style = source->settings.style;

    MObjectArray shards;
    bool carved =
        static_cast<bool>(shatterObject(shapePath, count, 0, nullptr, nullptr, useCutMaterial, settings, shards));
    if (carved && nonconforming) {
      voronoiNode* made = userNodeOf<voronoiNode>(MFnDagNode(voronoiTransform()).child(0));
      if (made) {
        made->settings.style = kStyleNonconforming;
        voronoiNode::setScheme(made, kVoroNonconform);
      }
      carved = made && addSourceLevels(*source, shapePath, made, settings.matrix, useCutMaterial, shards);
    }
    if (!carved) {
      displayError("aquire shatter fails");
      // Shards of the levels carved before the failure stay, and the run is not queued.
      if (shards.length() > 0 || changedScene()) flushUndoQueue();
      return MS::kFailure;
    }
    const bool animated = MAnimUtil::isAnimated(transformPath.node());
    groups.append(groupShards(shapePath, animated, shards, voronoiTransform()));
    markChanged();
  }
  progress.end();
  setResult(groups);
  return MS::kSuccess;
}
