#include "src/shatter/modifiers/jagginessCmd.h"

#include <maya/MAnimUtil.h>
#include <maya/MBoundingBox.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MProgressWindow.h>

#include <cmath>

#include "src/commandSelection.h"
#include "src/hostUtilities.h"
#include "src/meshes/meshOpHistory.h"
#include "src/nodeLinks.h"
#include "src/progressReservation.h"
#include "src/shatter/meshOpNode.h"
#include "src/shatter/modifiers/tesselateFacesCmd.h"
#include "src/shatter/shatterGroups.h"
#include "src/shatter/voronoiNode.h"

namespace {

constexpr CommandFlag kResolutionFlag{"-res", "-resolution", MSyntax::kUnsigned};
constexpr CommandFlag kStrengthFlag{"-st", "-strength", MSyntax::kDouble};
constexpr CommandFlag kSoftNormalFlag{"-sn", "-softnormal", MSyntax::kDouble};
constexpr CommandFlag kAffectFlag{"-aff", "-affect", MSyntax::kUnsigned};
constexpr CommandFlag kComputeFlag{"-com", "-compute"};
constexpr CommandFlag kDeleteFlag{"-del", "-delete"};

const char* const kJaggySource = "..\\src\\modifiers\\jagginessCmd";
const char* const kProgressTitle = "applying jagginess..";

constexpr double kDefaultSoftNormal = 0.5;
/// Thresholds above this soften (and tessellate with soft faces); below its
/// negative nothing is softened.
constexpr double kSoftTolerance = 1e-5;
constexpr unsigned int kAffectShard = 0;
constexpr unsigned int kAffectGroup = 1;
constexpr unsigned int kAffectMoving = 2;
/// The noise scale: this many waves over the source's box diagonal.
constexpr double kScaleSpan = 20.0;
constexpr double kJaggyFrequency = 8.0;
/// Cut faces smaller than this share of the largest are left flat.
constexpr float kSmallCutFaceRatio = 0.02f;
constexpr int kProgressStep = 100;
/// Where a failed progress call of each pass is reported.
constexpr jagginessCmd::ProgressLines kGroupPassLines{1314, 1315, 1316, 1317, 1318, 1374, 1375};
constexpr jagginessCmd::ProgressLines kMovingPassLines{1509, 1510, 1511, 1512, 1513, 1537, 1538};

/// The flags' ranges: the subdivision passes the tessellation makes, the
/// strengths the voronoi node keeps, a cosine, and the three affect modes.
constexpr FlagBounds kResolutionRange{0.0, 4.0};
constexpr FlagBounds kStrengthRange{0.0, 4.0};
constexpr FlagBounds kSoftNormalRange{-1.0, 1.0};
constexpr FlagBounds kAffectRange{0.0, 2.0};

bool isGroupMode(unsigned int affect) { return affect == kAffectGroup || affect == kAffectMoving; }

bool hasMeshOp(const MDagPath& shard) { return hasMeshOpHistory(shard.node()); }

MBoundingBox worldBox(const MDagPath& shape) {
  MBoundingBox box = MFnDagNode(shape).boundingBox();
  box.transformUsing(shape.exclusiveMatrix());
  return box;
}

}  // namespace

MSyntax jagginessCmd::newSyntax() {
  return commandSyntax({kResolutionFlag, kStrengthFlag, kSoftNormalFlag, kAffectFlag, kComputeFlag, kDeleteFlag},
                       givenObjects(1, 1));
}

MStatus jagginessCmd::undoIt() {
  if (modifier) modifier->undoIt();
  return OneWayCommand::undoIt();
}

bool jagginessCmd::readRequest(Request& request) {
  request.remove = arguments.isSet(kDeleteFlag);
  request.compute = arguments.isSet(kComputeFlag);
  request.threshold = kDefaultSoftNormal;
  request.affect = kAffectShard;
  unsigned int givenResolution = 0;
  double givenStrength = strength;
  // Every flag is checked before anything changes; a strength past the
  // range would displace the cut faces without bound.
  if (!arguments.readInRange(kResolutionFlag, kResolutionRange, givenResolution) ||
      !arguments.readInRange(kStrengthFlag, kStrengthRange, givenStrength) ||
      !arguments.readInRange(kSoftNormalFlag, kSoftNormalRange, request.threshold) ||
      !arguments.readInRange(kAffectFlag, kAffectRange, request.affect))
    return false;
  resolution = givenResolution;
  request.strengthGiven = arguments.isSet(kStrengthFlag);
  strength = givenStrength;
  return true;
}

bool jagginessCmd::readTarget(Target& target) {
  selection = arguments.objects();
  if (selection.isEmpty() || !selection.getDagPath(0, target.shape)) {
    MGlobal::displayError("no objects selected");
    return false;
  }
  // A transform means its first mesh: a shard may carry a body's locator too.
  if (target.shape.hasFn(MFn::kTransform)) toMeshShape(target.shape);
  target.transform = meshWithTransform(target.shape).transform;
  target.group = target.transform;
  target.group.pop();
  MObject body;
  if (!findChildOfType(target.transform.node(), body)) return true;
  MGlobal::displayInfo("you have to delete zov bodies before adding jagginess");
  return false;
}

MStatus jagginessCmd::redoIt() {
  Request request;
  if (!readRequest(request)) return MS::kFailure;
  if (!modifier) modifier = std::make_unique<MDGModifier>();
  preservingUVs = true;
  tessellated.clear();
  Target target;
  if (!readTarget(target)) return MS::kFailure;
  const MDagPath& shape = target.shape;
  const MDagPath& group = target.group;
  const bool groupMode = isGroupMode(request.affect);
  const bool soften = request.threshold > -kSoftTolerance;
  markChanged();
  if (request.remove) {
    if (soften) groupMode ? removeSoftNormalsInGroup(group) : removeSoftNormals(shape);
    groupMode ? removeJagginessInGroup(group) : removeJagginess(shape);
    return MS::kSuccess;
  }

  MObject record;
  findVoronoiUnder(group, record);
  // Only a shard has cut faces and the settings to roughen them with.
  if (record.isNull())
    return failWithError("voronoi node not found: " + MFnDependencyNode(shape.node()).name() +
                         " is not a shard of a shatter group, it is not roughened");
  const UndoRecordingOff recordingOff;
  if (!readVoronoiSettings(group, request.affect, request.strengthGiven)) return MS::kFailure;
  if (request.compute) return roughen(target, request);
  if (request.strengthGiven) {
    updateStrength(shape, group, request.affect);
  } else if (soften) {
    if (groupMode) {
      removeSoftNormalsInGroup(group);
      softenCutNormalsInGroup(group, request.threshold);
    } else if (hasMeshOp(shape)) {
      removeSoftNormals(shape);
      softenCutNormals(shape, request.threshold);
    }
  } else {
    groupMode ? removeSoftNormalsInGroup(group) : removeSoftNormals(shape);
  }
  return MS::kSuccess;
}

MStatus jagginessCmd::roughen(const Target& target, const Request& request) {
  ProgressReservation progress;
  if (!progress.reserve()) return failWithError("Progress window already in use.");
  std::vector<MDagPath> targets;
  if (tessellateTargets(target.shape, target.group, request.affect, targets, request.threshold > kSoftTolerance))
    setupMeshOpNodes(targets);
  if (request.threshold > -kSoftTolerance) {
    if (isGroupMode(request.affect))
      softenCutNormalsInGroup(target.group, request.threshold);
    else if (hasMeshOp(target.shape))
      softenCutNormals(target.shape, request.threshold);
  }
  progress.end();
  return MS::kSuccess;
}

MStatus jagginessCmd::readVoronoiSettings(const MDagPath& group, unsigned int affect, bool strengthGiven) {
  MObject record;
  findVoronoiUnder(group, record);
  if (!record.isNull()) {
    const MObject source = sourceNodeOf(MPlug(record, voronoiNode::inShape));
    MDagPath sourcePath;
    if (!source.isNull() && MDagPath::getAPathTo(source, sourcePath) && sourcePath.isValid()) {
      const MBoundingBox box = worldBox(sourcePath);
      centre = MVector(box.center());
      const double diagonal = (box.max() - box.min()).length();
      if (diagonal > 0.0) scale = kScaleSpan / diagonal;
    }
  }
  if (record.isNull()) {
    MGlobal::displayError("voronoi node not found");
    return MS::kFailure;
  }
  MPlug length(record, voronoiNode::jaggyLength);
  jaggyLength = length.asDouble();
  if (strengthGiven && affect != kAffectShard) MPlug(record, voronoiNode::jaggyStrenght).setValue(strength);
  if (jaggyLength != 0.0) return MS::kSuccess;

  retagSmallCutFaces(group, kSmallCutFaceRatio);
  if (isInShatterGroup(group)) {
    // Nested shatter groups share the outermost group's length.
    MObject outer;
    MDagPath outerGroup;
    findVoronoiChild(group, outer, outerGroup);
    if (outer.isNull()) {
      MGlobal::displayError("voronoi node not found");
      return MS::kFailure;
    }
    MPlug outerLength(outer, voronoiNode::jaggyLength);
    jaggyLength = outerLength.asDouble();
    if (jaggyLength == 0.0) {
      jaggyLength = defaultJaggyLength(group);
      outerLength.setValue(jaggyLength);
    }
  } else {
    jaggyLength = defaultJaggyLength(group);
  }
  length.setValue(jaggyLength);
  return MS::kSuccess;
}

MStatus jagginessCmd::tessellateTargets(const MDagPath& shape, const MDagPath& group, unsigned int affect,
                                        std::vector<MDagPath>& targets, bool soft) {
  if (affect == kAffectGroup) return tessellateGroup(group, targets, soft) ? MS::kSuccess : MS::kFailure;
  if (affect == kAffectMoving) return tessellateMovingShards(group, targets, soft) ? MS::kSuccess : MS::kFailure;
  if (!tessellateMesh(shape, soft)) return MS::kFailure;
  targets.push_back(shape);
  return MS::kSuccess;
}

bool jagginessCmd::tessellateMesh(const MDagPath& mesh, bool soft) {
  MDagPath shape = mesh;
  if (!shape.hasFn(MFn::kMesh)) shape.extendToShape();
  auto command = std::make_unique<tesselateFacesCmd>();
  command->setMeshPath(shape);
  command->setNodeType(zovMeshOpNode::id);
  command->setOperation(zovMeshOpNode::kSubdivideFaces, soft ? 1 : 0, static_cast<std::int16_t>(resolution));
  if (command->applyModifier()) tessellated.push_back(shape);
  return true;
}

bool jagginessCmd::tessellateWithProgress(const std::vector<MDagPath>& items, std::vector<MDagPath>& targets, bool soft,
                                          bool targetsOnly, const ProgressLines& lines) {
  const int n = static_cast<int>(items.size());
  reportProgressError(MProgressWindow::setProgressRange(0, kProgressStep * n), kJaggySource, lines.range);
  reportProgressError(MProgressWindow::setTitle(kProgressTitle), kJaggySource, lines.title);
  reportProgressError(MProgressWindow::setInterruptable(true), kJaggySource, lines.interruptible);
  reportProgressError(MProgressWindow::startProgress(), kJaggySource, lines.start);
  reportProgressError(MProgressWindow::setProgress(0), kJaggySource, lines.first);
  for (int i = 0; i < n; ++i) {
    if (MProgressWindow::isCancelled()) {
      MGlobal::displayInfo("jaggyness interrupted!");
      // Only what this run made goes; earlier roughening stays.
      for (const MDagPath& made : tessellated) removeJagginess(made);
      tessellated.clear();
      return false;
    }
    const MDagPath& item = items[static_cast<size_t>(i)];
    if (targetsOnly) {
      tessellateMesh(item, soft);
    } else if (!hasMeshOp(item) && tessellateMesh(item, soft)) {
      targets.push_back(item);
    }
    const int percent = (kProgressStep * i) / n;
    reportProgressError(MProgressWindow::setProgressStatus(MString("done..") + percent + " %"), kJaggySource,
                        lines.status);
    reportProgressError(MProgressWindow::setProgress(percent * n), kJaggySource, lines.value);
  }
  return true;
}

bool jagginessCmd::tessellateGroup(const MDagPath& group, std::vector<MDagPath>& targets, bool soft) {
  return tessellateWithProgress(groupShards(group), targets, soft, false, kGroupPassLines);
}

bool jagginessCmd::tessellateMovingShards(const MDagPath& group, std::vector<MDagPath>& targets, bool soft) {
  std::vector<MDagPath> moving, still;
  for (const MDagPath& shard : groupShards(group)) {
    if (hasMeshOp(shard)) continue;
    MDagPath transform = shard;
    transform.pop();
    (MAnimUtil::isAnimated(transform, false) ? moving : still).push_back(shard);
  }
  if (moving.empty()) {
    MGlobal::displayInfo("not moving fragments found in this group, jagginess not applied");
    return false;
  }
  // A still shard goes right behind the first moving shard it touches.
  for (const MDagPath& shard : moving) {
    targets.push_back(shard);
    const MBoundingBox box = worldBox(shard);
    for (auto it = still.begin(); it != still.end();) {
      if (box.intersects(worldBox(*it), 0.0)) {
        targets.push_back(*it);
        it = still.erase(it);
      } else {
        ++it;
      }
    }
  }
  return tessellateWithProgress(targets, targets, soft, true, kMovingPassLines);
}

MStatus jagginessCmd::setupMeshOpNodes(const std::vector<MDagPath>& targets) {
  for (const MDagPath& target : targets) {
    MFnMesh mesh(target);
    const MObject node = findMeshOpNode(target.node());
    if (node.isNull()) return MS::kFailure;
    MPlug(node, zovMeshOpNode::scale).setValue(scale);
    MPlug(node, zovMeshOpNode::amplitude).setValue(strength);
    MPlug(node, zovMeshOpNode::frequency).setValue(kJaggyFrequency);
    MPlug(node, zovMeshOpNode::lenght).setValue(jaggyLength);
    const MPlug centrePlug(node, zovMeshOpNode::center);
    for (unsigned int c = 0; c < 3; ++c) MPlug(centrePlug.child(c)).setValue(static_cast<float>(centre[c]));
    MPlug(node, zovMeshOpNode::pruv).setValue(preservingUVs);
    fillVertexArrays(mesh, node, preservingUVs);
    MPlug(node, zovMeshOpNode::operationType).setValue(static_cast<short>(zovMeshOpNode::kAssignUVs));
    MPlug(node, zovMeshOpNode::outMesh).asMObject();
    mesh.updateSurface();
  }
  return MS::kSuccess;
}

void jagginessCmd::softenCutNormalsInGroup(const MDagPath& group, double threshold) {
  runQuietly("waitCursor -state on");
  for (const MDagPath& shard : groupShards(group))
    if (hasMeshOp(shard)) softenCutNormals(shard, threshold);
  runQuietly("waitCursor -state off");
}

MStatus jagginessCmd::updateStrength(const MDagPath& shape, const MDagPath& group, unsigned int affect) {
  if (affect == kAffectShard) {
    if (!hasMeshOp(shape)) return MS::kSuccess;
    const MObject node = findMeshOpNode(shape.node());
    if (node.isNull()) return MS::kFailure;
    if (MPlug(node, zovMeshOpNode::version).asInt() < zovMeshOpNode::currentVersion())
      MGlobal::displayWarning(MString("ZOV INFO:") + MFnDependencyNode(shape.node()).name() +
                              "old jaggy node found, need rebuild");
    return updateStrengthOfMeshes({shape});
  }
  std::vector<MDagPath> meshes;
  for (const MDagPath& shard : groupShards(group))
    if (hasMeshOp(shard)) meshes.push_back(shard);
  if (meshes.empty()) return MS::kSuccess;
  runQuietly("undoInfo -swf off");
  runQuietly("waitCursor -state on");
  const MStatus status = updateStrengthOfMeshes(meshes);
  runQuietly("waitCursor -state off");
  runQuietly("undoInfo -swf on");
  return status;
}

MStatus jagginessCmd::updateStrengthOfMeshes(const std::vector<MDagPath>& meshes) {
  MStatus status;
  for (const MDagPath& mesh : meshes) {
    const MObject node = findMeshOpNode(mesh.node());
    if (node.isNull()) continue;
    status = MPlug(node, zovMeshOpNode::amplitude).setValue(strength);
    MPlug(node, zovMeshOpNode::operationType).setValue(static_cast<short>(zovMeshOpNode::kAssignUVs));
    MPlug(node, zovMeshOpNode::outMesh).asMObject();
    MFnMesh(mesh).updateSurface();
  }
  return status;
}

MStatus jagginessCmd::removeJagginessInGroup(const MDagPath& group) {
  for (const MDagPath& shard : groupShards(group))
    if (hasMeshOp(shard)) removeJagginess(shard);
  return MS::kSuccess;
}

MStatus jagginessCmd::removeSoftNormalsInGroup(const MDagPath& group) {
  for (const MDagPath& shard : groupShards(group))
    if (hasMeshOp(shard)) removeSoftNormals(shard);
  return MS::kSuccess;
}
