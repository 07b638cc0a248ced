// zovShatter: the command's flags, its walk over the selection and the
// per-object shatter (seeds, carving, record and shards).
#include "src/shatter/shatterCmd.h"

#include <maya/MAnimUtil.h>
#include <maya/MColorArray.h>
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
#include "geometry/ShatterParams.h"
#include "geometry/shatter/DistinctSeeds.h"
#include "geometry/shatter/SeedPoints.h"
#include "src/hostEngineConversions.h"
#include "src/hostHelpers.h"
#include "src/hostUtilities.h"
#include "src/meshes/meshConversion.h"
#include "src/meshes/meshOpHistory.h"
#include "src/nodeLinks.h"
#include "src/shatter/cutMaterial.h"
#include "src/shatter/hostSeeding.h"
#include "src/shatter/progressReservation.h"
#include "src/shatter/shatterGroups.h"
#include "src/shatter/shatterLocatorNode.h"
#include "src/shatter/voronoiNode.h"
#include "src/userInput.h"

namespace {

const char* const kShatterSource = "..\\src\\shatterCmd";

const char* const kNumShardsFlag = "-ns";
const char* const kSeedFlag = "-sed";
const char* const kStyleFlag = "-st";
const char* const kNewMatFlag = "-nm";
const char* const kCutMatNameFlag = "-cmn";
const char* const kWidthFlag = "-wid";
const char* const kNumRingsFlag = "-nr";
const char* const kNoiseFlag = "-no";
const char* const kDetectGroupsFlag = "-dmg";
const char* const kRadialAxisFlag = "-ra";
const char* const kVerboseFlag = "-ver";
const char* const kUseVolumeFlag = "-vol";
const char* const kNumCentersFlag = "-noc";
const char* const kReferenceFlag = "-reo";
const char* const kUndoLastFlag = "-udl";

/// The narrowest spread width handed to the generator (single precision).
constexpr double kMinWidth = static_cast<double>(0.01f);
/// Seeds the buffers hold at least, whatever the request.
constexpr unsigned int kSeedBufferFloor = 200;
/// Seeds per radial ring below which rings are added.
constexpr unsigned int kMaxSeedsPerRing = 300;
/// Impact points placed for the impact pattern.
constexpr int kImpactPoints = 5;
/// Curve samples per control vertex of a path.
constexpr int kSamplesPerCV = 4;
/// How far outside a shard's vertex box a seed of a further level may lie
/// and still cut it.
constexpr double kSeedInBox = 1e-5;

const char* const kShatterCommand = "zovShatter";
/// The flags' ranges: the counts and pattern shapes the seed generator and the
/// preview locator take. Counts past the most and widths not above the least
/// are held there; other values outside are refused. One shard is left to
/// each object's own check, which tells which object it leaves whole.
constexpr FlagRange kShardCountRange{kShatterCommand, "-numShards", 1.0, kMaxRequestedShards, false, true};
constexpr FlagRange kStyleRange{kShatterCommand, "-shatterStyle", 0.0, 6.0};
constexpr FlagRange kWidthRange{kShatterCommand, "-width", 0.01, 2.0, true, false};
constexpr FlagRange kRingRange{kShatterCommand, "-numRings", 0.0, 20.0};
constexpr FlagRange kNoiseRange{kShatterCommand, "-noise", 0.0, 2.0};
constexpr FlagRange kRadialAxisRange{kShatterCommand, "-radialAxis", 0.0, 2.0};
constexpr FlagRange kCentreCountRange{kShatterCommand, "-numCenters", 1.0, 5.0, false, true};

template <typename T>
void readFlag(const MArgDatabase& arguments, const char* flag, T& value) {
  if (arguments.isFlagSet(flag)) arguments.getFlagArgument(flag, 0, value);
}

MPoint worldPoint(const MPoint& p, const MMatrix& m) {
  MPoint q = p;
  q.w = 1.0;
  return q * m;
}

/// The first mesh (or NURBS curve) of a selection list, as a shape path.
bool firstOfType(const MSelectionList& list, MFn::Type type, MDagPath& path) {
  for (MItSelectionList it(list, type); !it.isDone(); it.next())
    if (it.getDagPath(path) && path.hasFn(type)) return true;
  return false;
}

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

}  // namespace

void* shatterCmd::creator() { return new shatterCmd; }

MSyntax shatterCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag(kNumShardsFlag, "-numShards", MSyntax::kUnsigned);
  syntax.addFlag(kSeedFlag, "-seed", MSyntax::kUnsigned);
  syntax.addFlag(kStyleFlag, "-shatterStyle", MSyntax::kUnsigned);
  syntax.addFlag(kNewMatFlag, "-newMat", MSyntax::kBoolean);
  syntax.addFlag(kCutMatNameFlag, "-cutMatName", MSyntax::kString);
  syntax.addFlag(kWidthFlag, "-width", MSyntax::kDouble);
  syntax.addFlag(kNumRingsFlag, "-numRings", MSyntax::kUnsigned);
  syntax.addFlag(kNoiseFlag, "-noise", MSyntax::kDouble);
  syntax.addFlag(kDetectGroupsFlag, "-detectMeshGroups", MSyntax::kUnsigned);
  syntax.addFlag(kRadialAxisFlag, "-radialAxis", MSyntax::kUnsigned);
  syntax.addFlag(kVerboseFlag, "-verbose");
  syntax.addFlag(kUseVolumeFlag, "-useVolume", MSyntax::kBoolean);
  syntax.addFlag(kNumCentersFlag, "-numCenters", MSyntax::kUnsigned);
  syntax.addFlag(kReferenceFlag, "-refObject", MSyntax::kSelectionItem);
  syntax.addFlag(kUndoLastFlag, "-undoLast");
  syntax.setObjectType(MSyntax::kSelectionList);
  syntax.setMinObjects(0);
  syntax.useSelectionAsDefault(false);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus shatterCmd::doIt(const MArgList& arguments) {
  MStatus status;
  auto parsed = std::make_unique<MArgDatabase>(syntax(), arguments, &status);
  if (!status) return status;
  m_arguments = std::move(parsed);
  return redoIt();
}

MStatus shatterCmd::undoIt() {
  if (m_previewLocator) {
    MGlobal::executeCommandOnIdle("hide " + quotedArgument(m_previewLocator->name()));
    MGlobal::executeCommandOnIdle("disableFragmoraPreviewMode()");
    m_previewLocator = nullptr;
  }
  forgetRun();
  return flushUndoQueue();
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

void shatterCmd::forgetRun() { m_transformNames.clear(); }

void shatterCmd::prepareSharedContent() {
  if (m_cutMaterialPending) {
    const CutMaterial material = findOrCreateCutMaterial(m_cutMaterialName);
    m_cutMaterialName = material.shader;
    m_cutShadingGroup = material.shadingGroup;
    m_cutMaterialPending = false;
  }
  if (!m_cutFaceTypeReady) {
    ensureCutFaceType();
    // The material and the type may be new to the scene.
    markChanged();
  }
  m_cutFaceTypeReady = true;
}

MStatus shatterCmd::redoIt() {
  ProgressReservation progress;
  if (!progress.reserve()) {
    displayError("Progress window already in use.");
    return MS::kFailure;
  }
  if (!m_arguments) return MS::kFailure;
  const MArgDatabase& arguments = *m_arguments;
  m_changedScene = false;

  // Every flag is checked before anything changes.
  Request request;
  unsigned int style = 0;
  unsigned int rings = 0;
  unsigned int axis = 0;
  m_width = 0.0;
  m_noise = 0.0;
  m_centerCount = 1;
  if (!readFlagInRange(arguments, kNumShardsFlag, kShardCountRange, request.shardCount) ||
      !readFlagInRange(arguments, kStyleFlag, kStyleRange, style) ||
      !readFlagInRange(arguments, kWidthFlag, kWidthRange, m_width) ||
      !readFlagInRange(arguments, kNumRingsFlag, kRingRange, rings) ||
      !readFlagInRange(arguments, kNoiseFlag, kNoiseRange, m_noise) ||
      !readFlagInRange(arguments, kRadialAxisFlag, kRadialAxisRange, axis) ||
      !readFlagInRange(arguments, kNumCentersFlag, kCentreCountRange, m_centerCount))
    return MS::kFailure;
  readFlag(arguments, kCutMatNameFlag, request.cutMaterialName);
  // An empty name lets the host name the material.
  if (request.cutMaterialName.length() > 0 &&
      !checkNodeNameFlag(kShatterCommand, "-cutMatName", request.cutMaterialName))
    return MS::kFailure;
  readFlag(arguments, kSeedFlag, request.seed);
  request.style = static_cast<std::uint16_t>(style - 1);
  readFlag(arguments, kNewMatFlag, request.newMaterial);
  m_cutMaterialName = request.cutMaterialName;
  m_ringCount = arguments.isFlagSet(kNumRingsFlag) ? rings + 1 : 0;
  m_detectGroups = 0;
  readFlag(arguments, kDetectGroupsFlag, m_detectGroups);
  m_radialAxis = static_cast<std::uint16_t>(axis);
  request.verbose = arguments.isFlagSet(kVerboseFlag);
  bool useVolume = false;
  readFlag(arguments, kUseVolumeFlag, useVolume);
  m_referenceObjects.clear();
  if (arguments.isFlagSet(kReferenceFlag)) arguments.getFlagArgument(kReferenceFlag, 0, m_referenceObjects);
  request.undoLast = arguments.isFlagSet(kUndoLastFlag);

  MSelectionList objects;
  arguments.getObjects(objects);
  m_transformNames.clear();
  if (objects.length() == 0) {
    displayError("no poly object selected");
    return MS::kFailure;
  }
  if (!m_modifier) m_modifier = std::make_unique<MDagModifier>();

  if (request.undoLast) {
    progress.end();
    MItSelectionList it(objects, MFn::kGeometric);
    if (it.isDone()) {
      displayWarning(" invalid selection of nodes");
      return MS::kFailure;
    }
    for (; !it.isDone(); it.next()) {
      MDagPath path;
      if (!it.getDagPath(path) || !path.hasFn(MFn::kMesh)) continue;
      const MStatus status = undoLastShatter(path);
      if (!status && m_changedScene) flushUndoQueue();
      return status;
    }
    return MS::kSuccess;
  }

  m_cutMaterialPending = request.newMaterial;
  m_cutFaceTypeReady = false;

  MDagPath referenceMesh;
  MDagPath pathCurve;
  bool hasReference = false;
  bool hasCurve = false;
  if (request.style != kStylePath) {
    hasReference = firstOfType(m_referenceObjects, MFn::kMesh, referenceMesh);
  } else {
    if (m_referenceObjects.length() == 0) {
      displayError("path not present");
      return MS::kFailure;
    }
    hasCurve = firstOfType(m_referenceObjects, MFn::kNurbsCurve, pathCurve);
  }

  progress.start(100 * static_cast<int>(objects.length()), "Precutting..", kShatterSource);
  MTimer timer;
  timer.clear();
  timer.beginTimer();
  MGlobal::executeCommand("select -clear", false, false);

  MStringArray groups;
  MStatus result = MS::kSuccess;
  bool shatteredAny = false;
  if (!holdsSurfaces(objects)) displayWarning(" invalid selection, not shapes");
  for (MItSelectionList it(objects, MFn::kGeometric); !it.isDone(); it.next()) {
    MDagPath shapePath;
    if (!it.getDagPath(shapePath)) continue;
    if (shapePath.hasFn(MFn::kNurbsSurface)) {
      displayInfo(" ZOV doesnt work on NURBS, convert it to poly.");
      continue;
    }
    if (!shapePath.hasFn(MFn::kMesh) || MFnDagNode(shapePath).isIntermediateObject()) continue;
    const MString shapeName = MFnDagNode(shapePath).name();
    MFnMesh mesh(shapePath);
    if (request.style == kStyleVertexColours && mesh.numColorSets() == 0 && !hasReference) {
      displayWarning(shapeName + " excluded from shattering because doesnt count with vertex colors");
      continue;
    }
    if (MAnimUtil::isAnimated(shapePath) || isScaleAnimated(shapePath)) {
      displayWarning(shapeName + " excluded from shattering because has animation keys on mesh or scale");
      continue;
    }
    const MDagPath transformPath = transformOfShape(shapePath);
    m_transformName = MFnDagNode(transformPath).name();

    // A preview under the transform gives its seeds, region and pattern.
    m_previewLocator = findPreviewLocator(transformPath);
    ShatterSettings local;
    ShatterSettings& settings = m_previewLocator ? m_previewLocator->settings : local;
    if (!m_previewLocator) {
      settings.style = request.style;
      settings.radialAxis = m_radialAxis;
      settings.ringCount = m_ringCount;
      settings.noise = m_noise;
      settings.cutMaterialName = m_cutMaterialName;
      settings.box = MFnDagNode(shapePath).boundingBox();
      settings.box.transformUsing(transformPath.inclusiveMatrix());
    }
    settings.matrix = transformPath.inclusiveMatrix();

    m_transformNames.append(m_transformName);
    MObjectArray shards;
    const MObject voronoiBefore = m_voronoiTransform;
    try {
      result = shatterObject(shapePath, request.shardCount, request.seed, hasCurve ? &pathCurve : nullptr,
                             hasReference ? &referenceMesh : nullptr, request.newMaterial, settings, shards);
    } catch (const std::bad_alloc&) {
      // What the object had made goes again: the object stays as it was.
      for (unsigned int i = 0; i < shards.length(); ++i) MGlobal::deleteNode(shards[i]);
      if (!m_voronoiTransform.isNull() && !(m_voronoiTransform == voronoiBefore))
        MGlobal::deleteNode(m_voronoiTransform);
      m_voronoiTransform = voronoiBefore;
      displayError(shapeName + ": memory ran out while shattering it, it is left as it was");
      result = MS::kFailure;
    }
    // A failed object leaves the groups of the objects before it in the result.
    if (!result) continue;
    groups.append(
        groupShards(shapePath, hidesShapeOnly(shapePath, m_previewLocator != nullptr), shards, m_voronoiTransform));
    shatteredAny = true;
    markChanged();
  }
  if (!shatteredAny && request.style == kStylePath)
    displayWarning(" the path is not crossing the objects, shatter fail");
  // A failed run is not queued: the shards it made must not be stranded by
  // an undo of what came before.
  if (!result && m_changedScene) flushUndoQueue();

  progress.end();
  timer.endTimer();
  printTimeOnIdle(timer.elapsedTime(), "shatter time ", request.verbose);
  setResult(groups);
  return result;
}

MStatus shatterCmd::shatterObject(const MDagPath& shapePath, unsigned int shardCount, unsigned int seed,
                                  const MDagPath* pathCurve, const MDagPath* referenceMesh, bool newMaterial,
                                  ShatterSettings& settings, MObjectArray& shards) {
  const unsigned int countA = settings.pointsA.length();
  const unsigned int countB = settings.pointsB.length();
  const MMatrix matrix = settings.matrix;
  const std::uint16_t style = settings.style;
  const MString shapeName = MFnDagNode(shapePath).name();

  m_connectedNode = MObject();
  findVoronoiNodeFromPlug(shapePath, m_connectedNode);
  short scheme = style == kStyleNonconforming ? kVoroNonconform : kVoroConform;
  MDagPath connectedGroup;
  if (voronoiNode* connected = userNodeOf<voronoiNode>(m_connectedNode)) {
    scheme = voronoiNode::getScheme(connected);
    if (MDagPath::getAPathTo(m_connectedNode, connectedGroup)) connectedGroup.pop(2);
  }

  MFnMesh mesh(shapePath);
  const MDagPath transformPath = transformOfShape(shapePath);
  MObjectArray shaders;
  MIntArray shaderIndices;
  getMeshShaders(shapePath, shaders, shaderIndices);
  MStringArray colourSets;
  mesh.getColorSetNames(colourSets);
  DFmeshPtr engineMesh(
      mayaMeshToEngineMesh(mesh, shaderIndices, m_shaderNames, colourSets.length() > 0 ? colourSets[0] : MString()));
  if (!engineMesh) {
    // The conversion gives nothing for a mesh without a face of any area, or
    // when memory runs out.
    bool hasArea = false;
    for (MItMeshPolygon polygon(shapePath); !polygon.isDone() && !hasArea; polygon.next()) {
      double area = 0.0;
      polygon.getArea(area);
      hasArea = area > 0.0;
    }
    if (hasArea)
      displayError(shapeName + ": memory ran out while reading its mesh, it is left as it was");
    else
      displayWarning(shapeName + " excluded from shattering because its mesh has no face with an area");
    return MS::kFailure;
  }
  std::vector<Mgc::MgcVector3> colours;
  if (colourSets.length() > 1) {
    MColorArray all;
    mesh.getColors(all);
    for (unsigned int i = 0; i < all.length(); ++i) colours.emplace_back(all[i].r, all[i].g, all[i].b);
  } else if (engineMesh->extraPoints) {
    colours.assign(engineMesh->extraPoints, engineMesh->extraPoints + engineMesh->numExtraPoints);
  }
  const bool displayColours = mesh.displayColors();
  MStringArray linkedTextures[kLinkedUVSets];
  queryUVSetLinks(m_shaderNames, mesh.name(), linkedTextures);
  const MPoint pivot = MFnTransform(transformPath).rotatePivot(MSpace::kWorld);
  Mgc::MgcVector3 centre = toEngine(pivot);

  // Seeds in world space: the list-B seeds first, then this level's.
  std::vector<Mgc::MgcVector3> seeds;
  std::vector<Mgc::MgcVector3> finalSeeds;
  std::vector<Mgc::MgcVector3> seedsB;
  if (countA == 0) {
    std::vector<Mgc::MgcVector3> buffer(std::max(shardCount, kSeedBufferFloor));
    zov_shatter_params params;
    params.outPoints = buffer.data();
    params.numShards = params.numPoints = shardCount;
    params.center = centre;
    params.numGivenPoints = static_cast<std::uint32_t>(colours.size());
    params.givenPoints = colours.empty() ? nullptr : colours.data();
    params.shatterStyle = style;
    params.seed = seed;
    params.radialAxis = settings.radialAxis;
    params.numCenters = m_centerCount;
    params.noise = m_width > kMinWidth ? m_width : kMinWidth;
    params.numRings = params.minRings = m_ringCount;
    params.radius = params.minRadius = m_noise;
    std::vector<Mgc::MgcVector3> curvePoints;
    if (style == kStyleImpact) {
      const MDagPath meshPath = hasMeshOpHistory(shapePath.node()) ? findUpstreamNode(shapePath) : shapePath;
      placePointInsideMesh(kImpactPoints, params.centers, seed, meshPath, *engineMesh, centre);
    } else if (style == kStylePath && pathCurve) {
      MFnNurbsCurve curve(*pathCurve);
      curvePoints.resize(static_cast<size_t>(kSamplesPerCV * std::max(curve.numCVs(), 0)));
      if (!curvePoints.empty() && curvePointAtParam(curve, curvePoints.data(), static_cast<int>(curvePoints.size()),
                                                    pathCurve->inclusiveMatrix())) {
        params.pathPoints = curvePoints.data();
        params.numPathPoints = static_cast<std::uint32_t>(curvePoints.size());
      }
    } else if (style == kStyleRadial && m_ringCount >= 1 && shardCount / m_ringCount > kMaxSeedsPerRing) {
      params.numRings = params.minRings = shardCount / kMaxSeedsPerRing;
      displayWarning("number of rings increased to prevent from too little fragments in dynamics");
    }
    bool made = false;
    if (referenceMesh) {
      const MDagPath referenceTransform = transformOfShape(*referenceMesh);
      params.center = toEngine(MFnTransform(referenceTransform).rotatePivot(MSpace::kWorld));
      MStringArray referenceSets;
      DFmeshPtr reference(mayaMeshToEngineMeshWorld(*referenceMesh, MIntArray(), referenceSets, nullptr));
      if (!reference) {
        displayWarning(shapeName + " excluded from shattering because the mesh of -refObject cannot be read");
        return MS::kFailure;
      }
      made = generateShatterSeeds(params, reference.get(), nullptr);
    } else {
      made = generateShatterSeeds(params, engineMesh.get(), nullptr);
    }
    const unsigned int count = made ? std::min<unsigned int>(params.numPoints, buffer.size()) : 0;
    if (count == 0) {
      // A flat mesh, or one scaled to nothing, has no inside to seed.
      const MString reason = style == kStylePath ? MString(": the path does not cross it")
                             : shardCount == 0   ? MString(": no -numShards given")
                                                 : MString(": it encloses no volume");
      displayWarning(shapeName + " excluded from shattering because no seed point can be placed in it" + reason);
      return MS::kFailure;
    }
    finalSeeds = distinctSeeds(std::vector<Mgc::MgcVector3>(buffer.begin(), buffer.begin() + count));
    seeds = finalSeeds;
  } else {
    // A seed of this level that repeats an earlier level's seed, or one of
    // its own before it, is not used twice. A further level of a
    // nonconforming shatter carves only by its own seeds, so there only the
    // earlier seeds in its region count; a conforming one carves by all.
    std::vector<Mgc::MgcVector3> guard;
    for (unsigned int i = 0; i < countB; ++i) {
      const MPoint p = worldPoint(settings.pointsB[i], matrix);
      seedsB.push_back(toEngine(p));
      if (scheme != kVoroNonconform || settings.box.contains(p)) guard.push_back(toEngine(p));
    }
    std::vector<Mgc::MgcVector3> added;
    for (unsigned int i = 0; i < countA; ++i) added.push_back(toEngine(worldPoint(settings.pointsA[i], matrix)));
    finalSeeds = distinctSeeds(added, guard);
    seeds = scheme == kVoroNonconform ? seedsB : distinctSeeds(seedsB);
    seeds.insert(seeds.end(), finalSeeds.begin(), finalSeeds.end());
  }

  // A single seed makes no cell: the object would be hidden behind an empty group.
  if (seeds.size() < 2) {
    displayWarning(shapeName + " excluded from shattering because it needs at least two seed points");
    return MS::kFailure;
  }
  // The cells with the shading groups their faces name.
  std::vector<LevelPiece> cells;
  if (scheme == kVoroNonconform && countB != 0) {
    // A further level of a nonconforming shatter cuts only the earlier
    // shards that its region meets, by this level's seeds.
    engineMesh.reset();
    if (connectedGroup.isValid() && connectedGroup.length() > 0 && !finalSeeds.empty())
      for (unsigned int c = 0; c < connectedGroup.childCount(); ++c) {
        MDagPath child = connectedGroup;
        child.push(connectedGroup.child(c));
        MDagPath shard;
        if (!child.hasFn(MFn::kTransform) || !firstMeshBelow(child, shard)) continue;
        if (!recutShard(shard, finalSeeds, settings.box, cells)) {
          displayError(shapeName + ": the shard " + MFnDagNode(shard).name() +
                       " cannot be converted or cut again (memory ran out, or it has no face with an area), the "
                       "further level is not made");
          return MS::kFailure;
        }
      }
  } else {
    VoronoiCarving carving = carveVoronoiCells(engineMesh.get(), seeds.data(), static_cast<std::uint32_t>(seeds.size()),
                                               m_detectGroups != 0, carvingGoesOn);
    engineMesh.reset();
    if (carving.status == VoronoiCarving::Status::kInterrupted) {
      displayInfo("Shatter interrupted!");
      undoIt();
      return MS::kFailure;
    }
    if (carving.status == VoronoiCarving::Status::kOutOfMemory) {
      displayError(shapeName + ": memory ran out while cutting its cells, it is left as it was");
      return MS::kFailure;
    }
    for (VoronoiCell& cell : carving.cells) cells.push_back({DFmeshPtr(cell.mesh.release()), shaders});
  }
  if (cells.empty()) {
    displayWarning(shapeName + " excluded from shattering because no cell could be cut from it");
    return MS::kFailure;
  }
  prepareSharedContent();
  const MString cutShadingGroup = m_cutShadingGroup;

  ShatterRecord record;
  record.shapePath = shapePath;
  record.scheme = scheme;
  record.style = style;
  record.matrix = matrix;
  record.box = settings.box;
  record.seedsA = finalSeeds;
  record.seedsB = seedsB;
  for (const LevelPiece& cell : cells) record.cells.push_back(cell.mesh.get());
  record.cutMaterialName = newMaterial ? m_cutMaterialName : MString();
  record.ringCount = m_ringCount;
  record.noise = m_noise;
  record.shaderNames = m_shaderNames;
  record.previousNode = m_connectedNode;
  record.renameTransform = m_renameVoronoi;
  m_voronoiTransform = createShatterVoronoiNode(*m_modifier, record);

  MStatus result = MS::kFailure;
  for (size_t k = 0; k < cells.size(); ++k)
    result = createShardBatch(cells[k].mesh.get(), newMaterial, displayColours, static_cast<std::uint32_t>(k),
                              cutShadingGroup, cells[k].shaders, m_shaderNames, linkedTextures, shards);
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

  for (unsigned int i = 0; i < shards.length(); ++i) m_modifier->deleteNode(shards[i]);
  m_modifier->doIt();
  shards.clear();
  MFnMesh source(shapePath);
  MStringArray linkedTextures[kLinkedUVSets];
  queryUVSetLinks(m_shaderNames, source.name(), linkedTextures);
  MStatus result = MS::kSuccess;
  for (size_t k = 0; k < pieces.size(); ++k)
    result =
        createShardBatch(pieces[k].mesh.get(), useCutMaterial, source.displayColors(), static_cast<std::uint32_t>(k),
                         m_cutShadingGroup, pieces[k].shaders, m_shaderNames, linkedTextures, shards);
  return result;
}
