// zovShatter: the command's flags and its walk over the selection.
#include "src/shatter/shatterCmd.h"

#include <maya/MAnimUtil.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>
#include <maya/MTimer.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "src/hostHelpers.h"
#include "src/hostUtilities.h"
#include "src/nodeLinks.h"
#include "src/progressReservation.h"
#include "src/shatter/shatterGroups.h"
#include "src/shatter/shatterLocatorNode.h"
#include "src/shatter/shatterPlan.h"
#include "src/userInput.h"

namespace {

constexpr CommandFlag kNewMatFlag{"-nm", "-newMat", MSyntax::kBoolean};
constexpr CommandFlag kCutMatNameFlag{"-cmn", "-cutMatName", MSyntax::kString};
constexpr CommandFlag kWidthFlag{"-wid", "-width", MSyntax::kDouble};
constexpr CommandFlag kDetectGroupsFlag{"-dmg", "-detectMeshGroups", MSyntax::kUnsigned};
constexpr CommandFlag kVerboseFlag{"-ver", "-verbose"};
constexpr CommandFlag kUseVolumeFlag{"-vol", "-useVolume", MSyntax::kBoolean};
constexpr CommandFlag kUndoLastFlag{"-udl", "-undoLast"};

/// The flags' ranges: the counts and pattern shapes the seed generator and the
/// preview locator take. Counts past the most and widths not above the least
/// are held there; other values outside are refused. One shard is left to
/// each object's own check, which tells which object it leaves whole.
constexpr FlagBounds kShardCountRange{1.0, kMaxRequestedShards, false, true};
constexpr FlagBounds kStyleRange{0.0, 6.0};
constexpr FlagBounds kWidthRange{0.01, 2.0, true, false};
constexpr FlagBounds kRingRange{0.0, 20.0};
constexpr FlagBounds kNoiseRange{0.0, 2.0};
constexpr FlagBounds kRadialAxisRange{0.0, 2.0};
constexpr FlagBounds kCentreCountRange{1.0, 5.0, false, true};

/// Whether the selection holds a polygon mesh or a NURBS surface: the
/// shapes the shatter works on or answers for. Curves are geometry too, but
/// nothing a shatter can cut.
bool holdsSurfaces(const MSelectionList& objects) {
  MDagPath path;
  for (MItSelectionList it(objects, MFn::kGeometric); !it.isDone(); it.next())
    if (it.getDagPath(path) && (path.hasFn(MFn::kMesh) || path.hasFn(MFn::kNurbsSurface))) return true;
  return false;
}

}  // namespace

MSyntax shatterCmd::newSyntax() {
  return commandSyntax({kNumShardsFlag, kSeedFlag, kStyleFlag, kNewMatFlag, kCutMatNameFlag, kWidthFlag, kNumRingsFlag,
                        kNoiseFlag, kDetectGroupsFlag, kRadialAxisFlag, kVerboseFlag, kUseVolumeFlag, kNumCentersFlag,
                        kReferenceFlag, kUndoLastFlag},
                       givenObjects(0, 0));
}

MStatus shatterCmd::undoIt() {
  if (previewLocator) {
    MGlobal::executeCommandOnIdle("hide " + quotedArgument(previewLocator->name()));
    MGlobal::executeCommandOnIdle("disableFragmoraPreviewMode()");
    previewLocator = nullptr;
  }
  forgetRun();
  return OneWayCommand::undoIt();
}

ShatterLocatorNode* shatterCmd::findPreviewLocator(const MDagPath& transform) {
  for (unsigned int c = 0; c < transform.childCount(); ++c) {
    ShatterLocatorNode* locator = userNodeOf<ShatterLocatorNode>(transform.child(c));
    if (!locator) continue;
    MDagPath path;
    MDagPath::getAPathTo(transform.child(c), path);
    locator->settings.matrix = path.exclusiveMatrix();
    return locator;
  }
  return nullptr;
}

void shatterCmd::forgetRun() { transformNames.clear(); }

bool shatterCmd::readRequest(Request& request) {
  // Every flag is checked before anything changes.
  unsigned int style = 0;
  unsigned int rings = 0;
  unsigned int axis = 0;
  width = 0.0;
  noise = 0.0;
  centerCount = 1;
  if (!arguments.readInRange(kNumShardsFlag, kShardCountRange, request.shardCount) ||
      !arguments.readInRange(kStyleFlag, kStyleRange, style) ||
      !arguments.readInRange(kWidthFlag, kWidthRange, width) ||
      !arguments.readInRange(kNumRingsFlag, kRingRange, rings) ||
      !arguments.readInRange(kNoiseFlag, kNoiseRange, noise) ||
      !arguments.readInRange(kRadialAxisFlag, kRadialAxisRange, axis) ||
      !arguments.readInRange(kNumCentersFlag, kCentreCountRange, centerCount))
    return false;
  arguments.read(kCutMatNameFlag, request.cutMaterialName);
  // An empty name lets the host name the material.
  if (request.cutMaterialName.length() > 0 && !arguments.checkNodeName(kCutMatNameFlag, request.cutMaterialName))
    return false;
  arguments.read(kSeedFlag, request.seed);
  request.style = static_cast<std::uint16_t>(style - 1);
  arguments.read(kNewMatFlag, request.newMaterial);
  cutMaterialName = request.cutMaterialName;
  ringCount = arguments.isSet(kNumRingsFlag) ? rings + 1 : 0;
  detectGroups = 0;
  arguments.read(kDetectGroupsFlag, detectGroups);
  radialAxis = static_cast<std::uint16_t>(axis);
  request.verbose = arguments.isSet(kVerboseFlag);
  bool useVolume = false;
  arguments.read(kUseVolumeFlag, useVolume);
  referenceObjects.clear();
  arguments.read(kReferenceFlag, referenceObjects);
  request.undoLast = arguments.isSet(kUndoLastFlag);
  return true;
}

MStatus shatterCmd::undoLastOfSelection(const MSelectionList& objects) {
  MItSelectionList it(objects, MFn::kGeometric);
  if (it.isDone()) {
    displayWarning(" invalid selection of nodes");
    return MS::kFailure;
  }
  for (; !it.isDone(); it.next()) {
    MDagPath path;
    if (!it.getDagPath(path) || !path.hasFn(MFn::kMesh)) continue;
    const MStatus status = undoLastShatter(path);
    if (!status && changedScene()) flushUndoQueue();
    return status;
  }
  return MS::kSuccess;
}

bool shatterCmd::readSources(const Request& request, Sources& sources) const {
  if (request.style != kStylePath) {
    sources.hasReference = firstPathOfType(referenceObjects, MFn::kMesh, sources.referenceMesh);
    return true;
  }
  if (referenceObjects.length() == 0) {
    displayError("path not present");
    return false;
  }
  sources.hasCurve = firstPathOfType(referenceObjects, MFn::kNurbsCurve, sources.pathCurve);
  return true;
}

MStatus shatterCmd::redoIt() {
  ProgressReservation progress;
  if (!progress.reserve()) return failWithError("Progress window already in use.");
  if (!arguments.parsed()) return MS::kFailure;
  Request request;
  if (!readRequest(request)) return MS::kFailure;
  const MSelectionList objects = arguments.objects();
  transformNames.clear();
  if (objects.length() == 0) return failWithError("no poly object selected");
  if (!modifier) modifier = std::make_unique<MDagModifier>();
  if (request.undoLast) {
    progress.end();
    return undoLastOfSelection(objects);
  }
  cutMaterialPending = request.newMaterial;
  cutFaceTypeReady = false;
  Sources sources;
  if (!readSources(request, sources)) return MS::kFailure;

  progress.start(100 * static_cast<int>(objects.length()), "Precutting..", kShatterSource);
  MTimer timer;
  timer.clear();
  timer.beginTimer();
  MGlobal::executeCommand("select -clear", false, false);
  MStringArray groups;
  MStatus result = MS::kSuccess;
  bool shatteredAny = false;
  if (!holdsSurfaces(objects)) displayWarning(" invalid selection, not shapes");
  forEachSelectedMesh(objects, true, [&](const SelectedMesh& mesh) {
    if (!shatterable(mesh.shape, request, sources)) return true;
    MString group;
    result = shatterSelected(mesh, request, sources, group);
    // A failed object leaves the groups of the objects before it in the result.
    if (!result) return true;
    groups.append(group);
    shatteredAny = true;
    markChanged();
    return true;
  });
  if (!shatteredAny && request.style == kStylePath)
    displayWarning(" the path is not crossing the objects, shatter fail");
  // A failed run is not queued: the shards it made must not be stranded by
  // an undo of what came before.
  if (!result && changedScene()) flushUndoQueue();

  progress.end();
  timer.endTimer();
  printTimeOnIdle(timer.elapsedTime(), "shatter time ", request.verbose);
  setResult(groups);
  return result;
}

bool shatterCmd::shatterable(const MDagPath& shapePath, const Request& request, const Sources& sources) {
  const MString shapeName = MFnDagNode(shapePath).name();
  if (request.style == kStyleVertexColours && MFnMesh(shapePath).numColorSets() == 0 && !sources.hasReference) {
    displayWarning(shapeName + " excluded from shattering because doesnt count with vertex colors");
    return false;
  }
  if (MAnimUtil::isAnimated(shapePath) || isScaleAnimated(shapePath)) {
    displayWarning(shapeName + " excluded from shattering because has animation keys on mesh or scale");
    return false;
  }
  return true;
}

MStatus shatterCmd::shatterSelected(const SelectedMesh& selected, const Request& request, const Sources& sources,
                                    MString& group) {
  const MDagPath& shapePath = selected.shape;
  const MString shapeName = MFnDagNode(shapePath).name();
  const MDagPath& transformPath = selected.transform;
  currentTransformName = MFnDagNode(transformPath).name();

  // A preview under the transform gives its seeds, region and pattern.
  previewLocator = findPreviewLocator(transformPath);
  ShatterSettings local;
  ShatterSettings& settings = previewLocator ? previewLocator->settings : local;
  if (!previewLocator) {
    settings.style = request.style;
    settings.radialAxis = radialAxis;
    settings.ringCount = ringCount;
    settings.noise = noise;
    settings.cutMaterialName = cutMaterialName;
    settings.box = MFnDagNode(shapePath).boundingBox();
    settings.box.transformUsing(transformPath.inclusiveMatrix());
  }
  settings.matrix = transformPath.inclusiveMatrix();

  transformNames.append(currentTransformName);
  MObjectArray shards;
  const MObject voronoiBefore = lastVoronoiTransform;
  MStatus result;
  try {
    result =
        shatterObject(shapePath, request.shardCount, request.seed, sources.hasCurve ? &sources.pathCurve : nullptr,
                      sources.hasReference ? &sources.referenceMesh : nullptr, request.newMaterial, settings, shards);
  } catch (const std::bad_alloc&) {
    // What the object had made goes again: the object stays as it was.
    for (unsigned int i = 0; i < shards.length(); ++i) MGlobal::deleteNode(shards[i]);
    if (!lastVoronoiTransform.isNull() && !(lastVoronoiTransform == voronoiBefore))
      MGlobal::deleteNode(lastVoronoiTransform);
    lastVoronoiTransform = voronoiBefore;
    displayError(shapeName + ": memory ran out while shattering it, it is left as it was");
    result = MS::kFailure;
  }
  if (!result) return result;
  warnOfMissingShards(shapeName, settings, shards.length());
  group = groupShards(shapePath, hidesShapeOnly(shapePath, previewLocator != nullptr), shards, lastVoronoiTransform);
  return result;
}

void shatterCmd::warnOfMissingShards(const MString& shapeName, const ShatterSettings& settings,
                                     unsigned int made) const {
  unsigned int asked = shardsAsked;
  // A preview shows only the distinct points of its pattern: the others
  // were asked for all the same.
  const unsigned int shown = settings.pointsA.length();
  if (asked > 0 && previewLocator && shown > 0 && previewLocator->patternCount > shown)
    asked += previewLocator->patternCount - shown;
  if (made >= asked) return;
  displayWarning(MString(arguments.command()) + ": " + std::to_string(asked).c_str() + " shards asked of " + shapeName +
                 ", " + std::to_string(made).c_str() + " made: seed points coincide or fall outside it");
}
