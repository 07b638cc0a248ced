// zovShatter's shatter of one object, which its runs, its -undoLast and
// zovAdqShatter share: seeds, carving, the voronoi record and the shards.
#include "src/shatter/shatterCmd.h"

#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MItMeshPolygon.h>
#include <maya/MProgressWindow.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/shatter/VoronoiCarving.h"
#include "geometry/shatter/DistinctSeeds.h"
#include "src/hostEngineConversions.h"
#include "src/hostUtilities.h"
#include "src/meshes/meshConversion.h"
#include "src/nodeLinks.h"
#include "src/progressReservation.h"
#include "src/shatter/cutMaterial.h"
#include "src/shatter/shatterGroups.h"
#include "src/shatter/shatterPlan.h"
#include "src/shatter/voronoiNode.h"

namespace {

/// How far outside a shard's vertex box a seed of a further level may lie
/// and still cut it.
constexpr double kSeedInBox = 1e-5;

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
/// when one is given, and how many points the pattern made, coincident ones
/// included; false, after the warning, when none can be placed.
bool generateSeeds(const MDagPath& shapePath, const SeedPattern& pattern, const MDagPath* pathCurve,
                   const MDagPath* referenceMesh, const ShatterSource& source, std::vector<Mgc::MgcVector3>& seeds,
                   std::uint32_t& patternPoints) {
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
  patternPoints = plan.madeCount();
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

MStatus shatterCmd::shatterObject(const MDagPath& shapePath, unsigned int shardCount, unsigned int seed,
                                  const MDagPath* pathCurve, const MDagPath* referenceMesh, bool newMaterial,
                                  ShatterSettings& settings, MObjectArray& shards) {
  const std::uint16_t style = settings.style;
  const MString shapeName = MFnDagNode(shapePath).name();
  shardsAsked = 0;
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
  // Points of the pattern that repeat one before it: each was asked to make a shard.
  size_t repeated = 0;
  if (settings.pointsA.length() == 0) {
    const SeedPattern pattern{style, shardCount, seed, centerCount, width, ringCount, noise, settings.radialAxis};
    std::uint32_t patternPoints = 0;
    if (!generateSeeds(shapePath, pattern, pathCurve, referenceMesh, source, seeds.level, patternPoints))
      return MS::kFailure;
    repeated = patternPoints > seeds.level.size() ? patternPoints - seeds.level.size() : 0;
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
  // A further level's count is the earlier shards' as much as its seeds'.
  if (!furtherLevel) shardsAsked = static_cast<unsigned int>(seeds.all.size() + repeated);
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
