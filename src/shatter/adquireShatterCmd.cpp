#include "src/shatter/adquireShatterCmd.h"

#include <maya/MAnimUtil.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>

#include <algorithm>
#include <string>
#include <vector>

#include "src/commandSelection.h"
#include "src/hostEngineConversions.h"
#include "src/hostUtilities.h"
#include "src/meshes/cutFaceTags.h"
#include "src/nodeLinks.h"
#include "src/progressReservation.h"
#include "src/shatter/cutMaterial.h"
#include "src/shatter/shatterGroups.h"
#include "src/shatter/voronoiNode.h"
#include "src/userInput.h"

namespace {

/// Whether the selection holds a shape (a transform counts by its shape).
bool holdsGeometry(const MSelectionList& objects) { return !MItSelectionList(objects, MFn::kGeometric).isDone(); }

const char* const kAdquireSource = "..\\src\\adquireShatterCmd";
constexpr CommandFlag kReplaceMatFlag{"-rmt", "-replaceMat", MSyntax::kString};
constexpr CommandFlag kSourceFlag{"-reo", "-refObject", MSyntax::kSelectionItem};

}  // namespace

adquireShatterCmd::adquireShatterCmd() : shatterCmd("zovAdqShatter") {}

MSyntax adquireShatterCmd::newSyntax() { return commandSyntax({kReplaceMatFlag, kSourceFlag}, givenObjects(0, 1)); }

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

MStatus adquireShatterCmd::undoIt() { return OneWayCommand::undoIt(); }

voronoiNode* adquireShatterCmd::readSource() {
  MSelectionList sources;
  arguments.read(kSourceFlag, sources);
  MObject sourceObject;
  if (sources.length() == 0 || !sources.getDependNode(0, sourceObject)) {
    displayError("no shatter group selected");
    return nullptr;
  }
  voronoiNode* source = userNodeOf<voronoiNode>(sourceObject);
  if (!source) displayError("shatter group doesnt has voronoi node");
  return source;
}

MStatus adquireShatterCmd::redoIt() {
  if (!arguments.parsed()) return MS::kFailure;
  MString material;
  const bool replacing = arguments.read(kReplaceMatFlag, material);
  // The material is made or found by its name: one the host cannot give is refused.
  if (replacing && !arguments.checkNodeName(kReplaceMatFlag, material)) return MS::kFailure;
  const MSelectionList objects = arguments.objects();
  if (objects.length() == 0) return failWithError("no poly object selected");
  if (!modifier) modifier = std::make_unique<MDagModifier>();
  if (replacing) return replaceMaterial(objects, material);

  ProgressReservation progress;
  if (!progress.reserve()) return failWithError("Progress window already in use.");
  progress.start(100, "Precutting..", kAdquireSource);
  voronoiNode* source = readSource();
  if (!source) return MS::kFailure;
  const CutMaterial recorded =
      recordedCutMaterial(MFnDependencyNode(source->thisMObject()).name(), voronoiNode::getCutMatName(source));
  const bool useCutMaterial = recorded.shadingGroup.length() > 0;
  const MString cutMaterial = useCutMaterial ? recorded.shader : MString(kNoCutMaterial);
  setCutMaterial(cutMaterial, useCutMaterial ? recorded.shadingGroup : cutMaterial + "SG");
  useReshatterSettings();

  if (!holdsGeometry(objects)) return failWithError(" no shape selected");
  MStringArray groups;
  MStatus result = MS::kSuccess;
  forEachSelectedMesh(objects, false, [&](const SelectedMesh& mesh) {
    result = shatterLike(*source, mesh, cutMaterial, useCutMaterial, groups);
    return static_cast<bool>(result);
  });
  if (!result) return result;
  progress.end();
  setResult(groups);
  return MS::kSuccess;
}

MStatus adquireShatterCmd::shatterLike(voronoiNode& source, const SelectedMesh& mesh, const MString& cutMaterial,
                                       bool useCutMaterial, MStringArray& groups) {
  const MDagPath& shapePath = mesh.shape;
  if (MAnimUtil::isAnimated(shapePath) || isScaleAnimated(shapePath))
    return failWithError("cannot shatter an animated mesh");
  if (hasVoronoiNode(shapePath)) return failWithError("this shape is connected to another shatter group");
  const bool nonconforming = voronoiNode::getScheme(&source) == kVoroNonconform;
  const unsigned int count = nonconforming
                                 ? static_cast<unsigned int>(std::max(voronoiNode::getVoroGroup(&source, 0), 0))
                                 : voronoiNode::numVoroPoints(&source);
  if (count == 0) return failWithError("aquire shatter fails, original voronode is empty");
  // The source recorded its seeds and boxes in its object's space: the
  // target's matrix alone puts them where the target stands.
  ShatterSettings settings;
  MPoint point;
  for (unsigned int i = 0; i < count; ++i) settings.pointsA.append(voronoiNode::getVoroPoint(&source, point, i, false));
  settings.matrix = mesh.transform.inclusiveMatrix();
  voronoiNode::getBoundingBox(&source, settings.box, 0);
  settings.box.transformUsing(settings.matrix);
  settings.cutMaterialName = cutMaterial;
  settings.style = source.settings.style;

  MObjectArray shards;
  bool carved =
      static_cast<bool>(shatterObject(shapePath, count, 0, nullptr, nullptr, useCutMaterial, settings, shards));
  // The seeds asked for the first level's shards; further levels re-cut them.
  const unsigned int firstLevelShards = shards.length();
  if (carved && nonconforming) {
    voronoiNode* made = userNodeOf<voronoiNode>(MFnDagNode(voronoiTransform()).child(0));
    if (made) {
      made->settings.style = kStyleNonconforming;
      voronoiNode::setScheme(made, kVoroNonconform);
    }
    carved = made && addSourceLevels(source, shapePath, made, settings.matrix, useCutMaterial, shards);
  }
  if (!carved) {
    displayError("aquire shatter fails");
    // Shards of the levels carved before the failure stay, and the run is not queued.
    if (shards.length() > 0 || changedScene()) flushUndoQueue();
    return MS::kFailure;
  }
  warnOfMissingShards(MFnDagNode(shapePath).name(), settings, firstLevelShards);
  const bool animated = MAnimUtil::isAnimated(mesh.transform.node());
  groups.append(groupShards(shapePath, animated, shards, voronoiTransform()));
  markChanged();
  return MS::kSuccess;
}
