// zovShatter: the command's flags, its walk over the selection and the
// per-object shatter (seeds, carving, record and shards).
#include "src/shatter/shatterCmd.h"

#include <maya/MAnimUtil.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MItMeshPolygon.h>
#include <maya/MItSelectionList.h>
#include <maya/MProgressWindow.h>
#include <maya/MTimer.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/MeshFactory.h"
#include "engine/shatter/VoronoiCarving.h"
#include "geometry/shatter/DistinctSeeds.h"
#include "src/commandSelection.h"
#include "src/hostEngineConversions.h"
#include "src/hostHelpers.h"
#include "src/hostUtilities.h"
#include "src/meshes/meshConversion.h"
#include "src/nodeLinks.h"
#include "src/progressReservation.h"
#include "src/shatter/cutMaterial.h"
#include "src/shatter/shatterGroups.h"
#include "src/shatter/shatterLocatorNode.h"
#include "src/shatter/shatterPlan.h"
#include "src/shatter/voronoiNode.h"
#include "src/userInput.h"

namespace {

const char* const kShatterSource = "..\\src\\shatterCmd";

constexpr CommandFlag kNewMatFlag{"-nm", "-newMat", MSyntax::kBoolean};
constexpr CommandFlag kCutMatNameFlag{"-cmn", "-cutMatName", MSyntax::kString};
constexpr CommandFlag kWidthFlag{"-wid", "-width", MSyntax::kDouble};
constexpr CommandFlag kDetectGroupsFlag{"-dmg", "-detectMeshGroups", MSyntax::kUnsigned};
constexpr CommandFlag kVerboseFlag{"-ver", "-verbose"};
constexpr CommandFlag kUseVolumeFlag{"-vol", "-useVolume", MSyntax::kBoolean};
constexpr CommandFlag kUndoLastFlag{"-udl", "-undoLast"};

/// How far outside a shard's vertex box a seed of a further level may lie
/// and still cut it.
constexpr double kSeedInBox = 1e-5;

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

/// The progress of the carving: p = 100 i / n, shown at every tenth.
void showCarvingProgress(std::uint32_t position, std::uint32_t count) {
  const int percent = static_cast<int>((100u * position) / count);
  if (percent % 10 != 0) return;
  reportProgressError(
      MProgressWindow::setProgressStatus(MString("done per object..") + std::to_string(percent).c_str() + " %"),
      kShatterSource, __LINE__);
  reportProgressError(MProgressWindow::advanceProgress(percent), kShatterSource, __LINE__);
}

/// The carving progress, which the user may cancel.
bool carvingGoesOn(std::uint32_t position, std::uint32_t count) {
  if (MProgressWindow::isCancelled()) return false;
  showCarvingProgress(position, count);
  return true;
}

/// The corners of the box around a mesh's world vertices.
void vertexBox(const ZOV_DFmesh& mesh, Mgc::MgcVector3& low, Mgc::MgcVector3& high) {
  low = high = mesh.numVertices > 0 ? mesh.worldVertices[0] : Mgc::MgcVector3(0.0, 0.0, 0.0);
  for (std::uint32_t v = 1; v < mesh.numVertices; ++v)
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], mesh.worldVertices[v][axis]);
      high[axis] = std::max(high[axis], mesh.worldVertices[v][axis]);
    }
}

bool inBox(const Mgc::MgcVector3& p, const Mgc::MgcVector3& low, const Mgc::MgcVector3& high, double slack) {
  for (int axis = 0; axis < 3; ++axis)
    if (p[axis] < low[axis] - slack || p[axis] > high[axis] + slack) return false;
  return true;
}

/// A piece of a further level with the shading groups its faces name.
struct LevelPiece {
  DFmeshPtr mesh;
  MObjectArray shaders;
};

/// The pieces of one shard at a further level (see addShatterLevel); false
/// when the shard cannot be read or carved.
bool recutShard(const MDagPath& shape, const std::vector<Mgc::MgcVector3>& seeds, const MBoundingBox& box,
                std::vector<LevelPiece>& pieces) {
  MObjectArray shaders;
  MIntArray shaderIndices;
  getMeshShaders(shape, shaders, shaderIndices);
  MFnMesh mesh(shape);
  MStringArray colourSets;
  mesh.getColorSetNames(colourSets);
  MStringArray uvSets;
  DFmeshPtr engine(
      mayaMeshToEngineMesh(mesh, shaderIndices, uvSets, colourSets.length() > 0 ? colourSets[0] : MString()));
  if (!engine) return false;
  Mgc::MgcVector3 low;
  Mgc::MgcVector3 high;
  vertexBox(*engine, low, high);
  std::vector<Mgc::MgcVector3> inside;
  if (MBoundingBox(toHostPoint(low), toHostPoint(high)).intersects(box, 0.0))
    for (const Mgc::MgcVector3& seed : seeds)
      if (inBox(seed, low, high, kSeedInBox)) inside.push_back(seed);
  if (inside.size() >= 2) {
    VoronoiCarving carving = carveVoronoiCells(engine.get(), inside.data(), static_cast<std::uint32_t>(inside.size()),
                                               false, [](std::uint32_t position, std::uint32_t count) {
                                                 showCarvingProgress(position, count);
                                                 return true;
                                               });
    if (carving.status != VoronoiCarving::Status::kCarved) return false;
    if (!carving.cells.empty()) {
      for (VoronoiCell& cell : carving.cells) pieces.push_back({DFmeshPtr(cell.mesh.release()), shaders});
      return true;
    }
  }
  pieces.push_back({std::move(engine), shaders});
  return true;
}

/// What one shatter reads of the mesh it cuts.
struct ShatterSource {
  /// The mesh in world space; let go of once carved.
  DFmeshPtr mesh;
  MObjectArray shaders;
  MIntArray shaderIndices;
  /// The colour table of the colour pattern.
  std::vector<Mgc::MgcVector3> colours;
  bool displayColours = false;
  MStringArray linkedTextures[kLinkedUVSets];
  /// The transform's rotate pivot, world space.
  Mgc::MgcVector3 centre;
};

/// Reads the shape's mesh, shading, colours and UV links (its UV set names
/// into `shaderNames`); false, after the message, when the mesh cannot be
/// read.
bool readShatterSource(const MDagPath& shapePath, MStringArray& shaderNames, ShatterSource& source) {
  MFnMesh mesh(shapePath);
  getMeshShaders(shapePath, source.shaders, source.shaderIndices);
  MStringArray colourSets;
  mesh.getColorSetNames(colourSets);
  source.mesh.reset(mayaMeshToEngineMesh(mesh, source.shaderIndices, shaderNames,
                                         colourSets.length() > 0 ? colourSets[0] : MString()));
  if (!source.mesh) {
    // The conversion gives nothing for a mesh without a face of any area, or
    // when memory runs out.
    bool hasArea = false;
    for (MItMeshPolygon polygon(shapePath); !polygon.isDone() && !hasArea; polygon.next()) {
      double area = 0.0;
      polygon.getArea(area);
      hasArea = area > 0.0;
    }
    const MString shapeName = MFnDagNode(shapePath).name();
    if (hasArea)
      MGlobal::displayError(shapeName + ": memory ran out while reading its mesh, it is left as it was");
    else
      MGlobal::displayWarning(shapeName + " excluded from shattering because its mesh has no face with an area");
    return false;
  }
  source.colours = colourSets.length() > 1 ? meshColours(mesh) : engineColours(*source.mesh);
  source.displayColours = mesh.displayColors();
  queryUVSetLinks(shaderNames, mesh.name(), source.linkedTextures);
  source.centre = toEngine(MFnTransform(transformOfShape(shapePath)).rotatePivot(MSpace::kWorld));
  return true;
}

/// Fresh seeds from the pattern (world space), placed in the reference mesh
/// when one is given; false, after the warning, when none can be placed.
bool generateSeeds(const MDagPath& shapePath, const SeedPattern& pattern, const MDagPath* pathCurve,
                   const MDagPath* referenceMesh, const ShatterSource& source, std::vector<Mgc::MgcVector3>& seeds) {
  const MString shapeName = MFnDagNode(shapePath).name();
  ShatterPlan plan(pattern, source.centre);
  plan.setColours(source.colours);
  if (pattern.style == kStyleImpact) {
    plan.placeImpactCentres(shapePath, *source.mesh);
  } else if (pattern.style == kStylePath && pathCurve) {
    plan.sampleCurve(MFnNurbsCurve(*pathCurve), pathCurve->inclusiveMatrix());
  } else if (pattern.style == kStyleRadial) {
    plan.holdSeedsPerRing();
  }
  if (referenceMesh) {
    plan.setPatternCentre(toEngine(MFnTransform(transformOfShape(*referenceMesh)).rotatePivot(MSpace::kWorld)));
    MStringArray referenceSets;
    DFmeshPtr reference(mayaMeshToEngineMeshWorld(*referenceMesh, MIntArray(), referenceSets, nullptr));
    if (!reference) {
      MGlobal::displayWarning(shapeName + " excluded from shattering because the mesh of -refObject cannot be read");
      return false;
    }
    seeds = plan.seeds(*reference);
  } else {
    seeds = plan.seeds(*source.mesh);
  }
  if (seeds.empty()) {
    // A flat mesh, or one scaled to nothing, has no inside to seed.
    const MString reason = pattern.style == kStylePath ? MString(": the path does not cross it")
                           : pattern.count == 0        ? MString(": no -numShards given")
                                                       : MString(": it encloses no volume");
    MGlobal::displayWarning(shapeName + " excluded from shattering because no seed point can be placed in it" + reason);
    return false;
  }
  return true;
}

/// How the carving of one object ended.
enum class Carving { kCarved, kInterrupted, kFailed };

/// The cells of one object: the object's mesh carved by all the seeds, or,
/// for a further level (`furtherLevel`) of a nonconforming shatter, the
/// shards of the earlier group that the region meets re-cut by this level's
/// seeds. The source's mesh is let go of.
Carving carveCells(const MDagPath& shapePath, const GivenSeeds& seeds, bool furtherLevel, bool detectGroups,
                   const MDagPath& connectedGroup, const MBoundingBox& box, ShatterSource& source,
                   std::vector<LevelPiece>& cells) {
  const MString shapeName = MFnDagNode(shapePath).name();
  if (furtherLevel) {
    // A further level of a nonconforming shatter cuts only the earlier
    // shards that its region meets, by this level's seeds.
    source.mesh.reset();
    if (!connectedGroup.isValid() || connectedGroup.length() == 0 || seeds.level.empty()) return Carving::kCarved;
    for (unsigned int c = 0; c < connectedGroup.childCount(); ++c) {
      MDagPath child = connectedGroup;
      child.push(connectedGroup.child(c));
      MDagPath shard;
      if (!child.hasFn(MFn::kTransform) || !firstMeshBelow(child, shard)) continue;
      if (recutShard(shard, seeds.level, box, cells)) continue;
      MGlobal::displayError(shapeName + ": the shard " + MFnDagNode(shard).name() +
                            " cannot be converted or cut again (memory ran out, or it has no face with an area), "
                            "the further level is not made");
      return Carving::kFailed;
    }
    return Carving::kCarved;
  }
  VoronoiCarving carving = carveVoronoiCells(source.mesh.get(), seeds.all.data(),
                                             static_cast<std::uint32_t>(seeds.all.size()), detectGroups, carvingGoesOn);
  source.mesh.reset();
  if (carving.status == VoronoiCarving::Status::kInterrupted) {
    MGlobal::displayInfo("Shatter interrupted!");
    return Carving::kInterrupted;
  }
  if (carving.status == VoronoiCarving::Status::kOutOfMemory) {
    MGlobal::displayError(shapeName + ": memory ran out while cutting its cells, it is left as it was");
    return Carving::kFailed;
  }
  for (VoronoiCell& cell : carving.cells) cells.push_back({DFmeshPtr(cell.mesh.release()), source.shaders});
  return Carving::kCarved;
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

void shatterCmd::prepareSharedContent() {
  if (cutMaterialPending) {
    const CutMaterial material = findOrCreateCutMaterial(cutMaterialName);
    cutMaterialName = material.shader;
    cutShadingGroup = material.shadingGroup;
    cutMaterialPending = false;
  }
  if (!cutFaceTypeReady) {
    ensureCutFaceType();
    // The material and the type may be new to the scene.
    markChanged();
  }
  cutFaceTypeReady = true;
}

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
  if (result)
    group = groupShards(shapePath, hidesShapeOnly(shapePath, previewLocator != nullptr), shards, lastVoronoiTransform);
  return result;
}

MStatus shatterCmd::shatterObject(const MDagPath& shapePath, unsigned int shardCount, unsigned int seed,
                                  const MDagPath* pathCurve, const MDagPath* referenceMesh, bool newMaterial,
                                  ShatterSettings& settings, MObjectArray& shards) {
  const std::uint16_t style = settings.style;
  const MString shapeName = MFnDagNode(shapePath).name();
  connectedNode = MObject();
  findVoronoiNodeFromPlug(shapePath, connectedNode);
  short scheme = style == kStyleNonconforming ? kVoroNonconform : kVoroConform;
  MDagPath connectedGroup;
  if (voronoiNode* connected = userNodeOf<voronoiNode>(connectedNode)) {
    scheme = voronoiNode::getScheme(connected);
    if (MDagPath::getAPathTo(connectedNode, connectedGroup)) connectedGroup.pop(2);
  }
  ShatterSource source;
  if (!readShatterSource(shapePath, shaderNames, source)) return MS::kFailure;

  // Seeds in world space: fresh from the pattern, or the given lists.
  GivenSeeds seeds;
  if (settings.pointsA.length() == 0) {
    const SeedPattern pattern{style, shardCount, seed, centerCount, width, ringCount, noise, settings.radialAxis};
    if (!generateSeeds(shapePath, pattern, pathCurve, referenceMesh, source, seeds.level)) return MS::kFailure;
    seeds.all = seeds.level;
  } else {
    seeds = givenSeeds(settings, scheme);
  }
  // A single seed makes no cell: the object would be hidden behind an empty group.
  if (seeds.all.size() < 2) {
    displayWarning(shapeName + " excluded from shattering because it needs at least two seed points");
    return MS::kFailure;
  }
  // The cells with the shading groups their faces name.
  std::vector<LevelPiece> cells;
  const bool furtherLevel = scheme == kVoroNonconform && settings.pointsB.length() != 0;
  const Carving carved =
      carveCells(shapePath, seeds, furtherLevel, detectGroups != 0, connectedGroup, settings.box, source, cells);
  if (carved == Carving::kInterrupted) undoIt();
  if (carved != Carving::kCarved) return MS::kFailure;
  if (cells.empty()) {
    displayWarning(shapeName + " excluded from shattering because no cell could be cut from it");
    return MS::kFailure;
  }
  prepareSharedContent();

  ShatterRecord record;
  record.shapePath = shapePath;
  record.scheme = scheme;
  record.style = style;
  record.matrix = settings.matrix;
  record.box = settings.box;
  record.seedsA = seeds.level;
  record.seedsB = seeds.earlier;
  for (const LevelPiece& cell : cells) record.cells.push_back(cell.mesh.get());
  record.cutMaterialName = newMaterial ? cutMaterialName : MString();
  record.ringCount = ringCount;
  record.noise = noise;
  record.shaderNames = shaderNames;
  record.previousNode = connectedNode;
  record.renameTransform = renameVoronoi;
  lastVoronoiTransform = createShatterVoronoiNode(*modifier, record);

  MStatus result = MS::kFailure;
  for (size_t k = 0; k < cells.size(); ++k)
    result = createShardBatch(cells[k].mesh.get(), newMaterial, source.displayColours, static_cast<std::uint32_t>(k),
                              cutShadingGroup, cells[k].shaders, shaderNames, source.linkedTextures, shards);
  return result;
}

MStatus shatterCmd::addShatterLevel(const MDagPath& shapePath, voronoiNode* record,
                                    const std::vector<Mgc::MgcVector3>& levelSeeds, const MBoundingBox& box,
                                    const MMatrix& matrix, bool useCutMaterial, MObjectArray& shards) {
  const std::vector<Mgc::MgcVector3> seeds = distinctSeeds(levelSeeds);
  std::vector<LevelPiece> pieces;
  for (unsigned int i = 0; i < shards.length(); ++i) {
    MDagPath transform;
    MDagPath shape;
    if (!MDagPath::getAPathTo(shards[i], transform) || !firstMeshBelow(transform, shape)) continue;
    if (!recutShard(shape, seeds, box, pieces)) return MS::kFailure;
  }

  const MMatrix toObject = matrix.inverse();
  voronoiNode::addVoroPoints(record, seeds.data(), static_cast<unsigned int>(seeds.size()), toObject);
  MBoundingBox levelBox = box;
  voronoiNode::setBoundingBox(record, levelBox.transformUsing(toObject));
  voronoiNode::setVoroGroup(record, static_cast<short>(seeds.size()));
  std::vector<ZOV_DFmesh*> cells;
  for (const LevelPiece& piece : pieces) cells.push_back(piece.mesh.get());
  if (!cells.empty()) voronoiNode::setDisplayCells(record, cells.data(), static_cast<unsigned int>(cells.size()));

  for (unsigned int i = 0; i < shards.length(); ++i) modifier->deleteNode(shards[i]);
  modifier->doIt();
  shards.clear();
  MFnMesh source(shapePath);
  MStringArray linkedTextures[kLinkedUVSets];
  queryUVSetLinks(shaderNames, source.name(), linkedTextures);
  MStatus result = MS::kSuccess;
  for (size_t k = 0; k < pieces.size(); ++k)
    result =
        createShardBatch(pieces[k].mesh.get(), useCutMaterial, source.displayColors(), static_cast<std::uint32_t>(k),
                         cutShadingGroup, pieces[k].shaders, shaderNames, linkedTextures, shards);
  return result;
}
