// zovShatterPreview: fills the preview locator of a mesh with the seeds of a
// shatter and its settings.
#include "src/shatter/shatterLocatorCmd.h"

#include <maya/MColorArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMatrixData.h>
#include <maya/MFnMesh.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MItSelectionList.h>
#include <maya/MPlugArray.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>
#include <maya/MTransformationMatrix.h>

#include <algorithm>
#include <iostream>
#include <vector>

#include "engine/MeshFactory.h"
#include "geometry/ShatterParams.h"
#include "src/hostEngineConversions.h"
#include "src/hostHelpers.h"
#include "src/hostUtilities.h"
#include "src/meshes/meshConversion.h"
#include "src/meshes/meshOpHistory.h"
#include "src/nodeLinks.h"
#include "src/shatter/hostSeeding.h"
#include "src/shatter/shatterLocatorNode.h"
#include "src/shatter/shatterSettings.h"
#include "src/shatter/voronoiNode.h"
#include "src/userInput.h"

namespace {

const char* const kPreviewNumShardsFlag = "-ns";
const char* const kPreviewStyleFlag = "-st";
const char* const kPreviewSeedFlag = "-sed";
const char* const kPreviewNumCentersFlag = "-noc";
const char* const kPreviewWidthFlag = "-wd";
const char* const kPreviewDrawPointsFlag = "-dp";
const char* const kPreviewRadialAxisFlag = "-ra";
const char* const kPreviewNoiseFlag = "-no";
const char* const kPreviewNumRingsFlag = "-nr";
const char* const kPreviewReferenceFlag = "-reo";
const char* const kPreviewRegionFlags[2][3] = {{"-xmn", "-ymn", "-zmn"}, {"-xmx", "-ymx", "-zmx"}};

/// The seed a preview uses when the user gives none.
constexpr unsigned int kPreviewDefaultSeed = 17;
/// The narrowest spread width.
constexpr double kPreviewMinWidth = 0.01;
/// Seeds per radial ring above which rings are added.
constexpr unsigned int kPreviewMaxSeedsPerRing = 300;
/// The centres placed in the mesh for the patterns that use them.
constexpr int kPreviewPlacedCentres = 5;
/// Curve samples per control vertex of a path.
constexpr int kPreviewSamplesPerCV = 4;
/// A reference mesh is looked at a little larger than it is.
constexpr double kPreviewReferenceScale = 1.2;
/// Patterns the command treats apart (the command's `-shatterStyle` - 1).
constexpr std::uint16_t kPreviewPatternFirst = 0;

const char* const kPreviewReferenceAttribute = "zovRefObj";
const char* const kPreviewReferenceShortName = "reo";

template <typename T>
void readPreviewFlag(const MArgDatabase& arguments, const char* flag, T& value) {
  if (arguments.isFlagSet(flag)) arguments.getFlagArgument(flag, 0, value);
}

bool firstPreviewPathOfType(const MSelectionList& list, MFn::Type type, MDagPath& path) {
  for (MItSelectionList it(list, type); !it.isDone(); it.next())
    if (it.getDagPath(path) && path.hasFn(type)) return true;
  return false;
}

MDagPath previewTransformAbove(const MDagPath& shape) {
  MDagPath transform = shape;
  transform.pop();
  return transform;
}

MBoundingBox previewWorldBox(const MDagPath& shape) {
  MBoundingBox box = MFnDagNode(shape).boundingBox();
  box.transformUsing(shape.inclusiveMatrix());
  return box;
}

/// The first child of the transform that is a preview locator.
ShatterLocatorNode* findPreviewLocatorUnder(const MDagPath& transform) {
  for (unsigned int c = 0; c < transform.childCount(); ++c)
    if (ShatterLocatorNode* locator = userNodeOf<ShatterLocatorNode>(transform.child(c))) return locator;
  return nullptr;
}

Mgc::MgcVector3 readPreviewCentre(const MPlug& element) {
  return Mgc::MgcVector3(element.child(0).asDouble(), element.child(1).asDouble(), element.child(2).asDouble());
}

void writePreviewCentre(MPlug element, const Mgc::MgcVector3& p) {
  element.child(0).setDouble(p.x);
  element.child(1).setDouble(p.y);
  element.child(2).setDouble(p.z);
}

/// The colours of a mesh's current colour set, when it has any.
std::vector<Mgc::MgcVector3> previewColoursOf(const MDagPath& meshPath) {
  std::vector<Mgc::MgcVector3> colours;
  MFnMesh mesh(meshPath);
  MColorArray all;
  if (countColorSets(mesh) > 0 && mesh.getColors(all))
    for (unsigned int i = 0; i < all.length(); ++i) colours.emplace_back(all[i].r, all[i].g, all[i].b);
  return colours;
}

}  // namespace

void* shatterLocatorCmd::creator() { return new shatterLocatorCmd; }

MSyntax shatterLocatorCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag(kPreviewNumShardsFlag, "-numShards", MSyntax::kUnsigned);
  syntax.addFlag(kPreviewStyleFlag, "-shatterStyle", MSyntax::kUnsigned);
  syntax.addFlag(kPreviewSeedFlag, "-seed", MSyntax::kUnsigned);
  syntax.addFlag(kPreviewNumCentersFlag, "-numCenters", MSyntax::kUnsigned);
  syntax.addFlag(kPreviewWidthFlag, "-width", MSyntax::kDouble);
  syntax.addFlag(kPreviewDrawPointsFlag, "-drawPoints");
  syntax.addFlag(kPreviewRadialAxisFlag, "-radialAxis", MSyntax::kUnsigned);
  syntax.addFlag(kPreviewNoiseFlag, "-noise", MSyntax::kDouble);
  syntax.addFlag(kPreviewNumRingsFlag, "-numRings", MSyntax::kUnsigned);
  syntax.addFlag(kPreviewReferenceFlag, "-refObject", MSyntax::kSelectionItem);
  const char* const longNames[2][3] = {{"-xmin", "-ymin", "-zmin"}, {"-xmax", "-ymax", "-zmax"}};
  for (int corner = 0; corner < 2; ++corner)
    for (int axis = 0; axis < 3; ++axis)
      syntax.addFlag(kPreviewRegionFlags[corner][axis], longNames[corner][axis], MSyntax::kDouble);
  syntax.setObjectType(MSyntax::kSelectionList, 1, 1);
  syntax.useSelectionAsDefault(false);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus shatterLocatorCmd::doIt(const MArgList& argumentList) {
  MStatus status;
  auto parsed = std::make_unique<MArgDatabase>(syntax(), argumentList, &status);
  if (!status) return status;
  m_arguments = std::move(parsed);
  const MArgDatabase& arguments = *m_arguments;

  // The flags take the ranges of the locator's settings; counts past the
  // most and widths not above the least are held there.
  const char* const command = "zovShatterPreview";
  unsigned int count = 0;
  unsigned int style = 0;
  unsigned int centreCount = 0;
  double width = 0.0;
  unsigned int axis = 0;
  double noise = 0.0;
  unsigned int rings = 0;
  if (!readFlagInRange(arguments, kPreviewNumShardsFlag,
                       {command, "-numShards", 0.0, static_cast<double>(kMaxPreviewShards), false, true}, count) ||
      !readFlagInRange(arguments, kPreviewStyleFlag, {command, "-shatterStyle", 0.0, 6.0}, style) ||
      !readFlagInRange(arguments, kPreviewNumCentersFlag, {command, "-numCenters", 0.0, 5.0, false, true},
                       centreCount) ||
      !readFlagInRange(arguments, kPreviewWidthFlag, {command, "-width", kPreviewMinWidth, 2.0, true, false}, width) ||
      !readFlagInRange(arguments, kPreviewRadialAxisFlag, {command, "-radialAxis", 0.0, 2.0}, axis) ||
      !readFlagInRange(arguments, kPreviewNoiseFlag, {command, "-noise", 0.0, 2.0}, noise) ||
      !readFlagInRange(arguments, kPreviewNumRingsFlag, {command, "-numRings", 0.0, 20.0}, rings))
    return MS::kFailure;
  const std::uint16_t pattern = static_cast<std::uint16_t>(style - 1);
  unsigned int seed = 0;
  readPreviewFlag(arguments, kPreviewSeedFlag, seed);
  if (seed == 0) seed = kPreviewDefaultSeed;
  if (width <= kPreviewMinWidth) width = kPreviewMinWidth;
  std::uint32_t ringCount = arguments.isFlagSet(kPreviewNumRingsFlag) ? rings + 1 : 0;
  MSelectionList references;
  if (arguments.isFlagSet(kPreviewReferenceFlag)) arguments.getFlagArgument(kPreviewReferenceFlag, 0, references);
  double corners[2][3] = {};
  for (int corner = 0; corner < 2; ++corner)
    for (int a = 0; a < 3; ++a) readPreviewFlag(arguments, kPreviewRegionFlags[corner][a], corners[corner][a]);
  const MBoundingBox flagRegion(MPoint(corners[0][0], corners[0][1], corners[0][2]),
                                MPoint(corners[1][0], corners[1][1], corners[1][2]));

  MSelectionList objects;
  arguments.getObjects(objects);
  MItSelectionList geometry(objects, MFn::kGeometric);
  if (geometry.isDone()) {
    displayInfo(" no poly object selected");
    return MS::kFailure;
  }
  MDagPath curvePath;
  MDagPath referencePath;
  bool hasReference = false;
  if (pattern == kStylePath) {
    if (!firstPreviewPathOfType(references, MFn::kNurbsCurve, curvePath)) {
      displayError("path not present");
      return MS::kFailure;
    }
  } else {
    hasReference = firstPreviewPathOfType(references, MFn::kMesh, referencePath);
  }
  if (!m_modifier) m_modifier = std::make_unique<MDagModifier>();
  if (!arguments.isFlagSet(kPreviewDrawPointsFlag)) return MS::kSuccess;

  // The object itself must be the mesh shape: a transform does not do.
  MDagPath shapePath;
  if (!objects.getDagPath(0, shapePath) || !shapePath.hasFn(MFn::kMesh) || shapePath.hasFn(MFn::kTransform)) {
    displayInfo(" no poly object selected");
    return MS::kFailure;
  }
  MObject recordObject;
  findVoronoiNodeFromPlug(shapePath, recordObject);
  voronoiNode* record = userNodeOf<voronoiNode>(recordObject);

  const MDagPath transformPath = previewTransformAbove(shapePath);
  Mgc::MgcVector3 centre = toEngine(MFnTransform(transformPath).rotatePivot(MSpace::kWorld));
  MMatrix matrix = transformPath.inclusiveMatrix();
  MBoundingBox region = previewWorldBox(shapePath);
  if (pattern == kStyleVertexColours) {
    const MDagPath& colourSource = hasReference ? referencePath : shapePath;
    if (countColorSets(MFnMesh(colourSource)) == 0) {
      displayError(MFnDagNode(shapePath).name() + " doesnt count with vertex colors, preview not possible");
      return MS::kFailure;
    }
  } else if (hasReference) {
    const MDagPath referenceTransform = previewTransformAbove(referencePath);
    centre = toEngine(MFnTransform(referenceTransform).rotatePivot(MSpace::kWorld));
    region = previewWorldBox(referencePath);
    MTransformationMatrix scaled(referencePath.inclusiveMatrix());
    const double scale[3] = {kPreviewReferenceScale, kPreviewReferenceScale, kPreviewReferenceScale};
    scaled.setScale(scale, MSpace::kTransform);
    matrix = scaled.asMatrix();
  } else if (record) {
    region = flagRegion;
  }

  // The object's mesh is read in world space; a reference mesh through the
  // matrix made for it.
  DFmeshPtr engineMesh;
  std::vector<Mgc::MgcVector3> colours;
  if (hasReference) {
    MStringArray uvSets;
    engineMesh.reset(mayaMeshToEngineMeshWorld(referencePath, MIntArray(), uvSets, &matrix));
    colours = previewColoursOf(referencePath);
  } else {
    MFnMesh mesh(shapePath);
    MStringArray uvSets;
    MStringArray colourSets;
    mesh.getColorSetNames(colourSets);
    engineMesh.reset(
        mayaMeshToEngineMesh(mesh, MIntArray(), uvSets, colourSets.length() > 0 ? colourSets[0] : MString()));
    if (engineMesh && engineMesh->extraPoints)
      colours.assign(engineMesh->extraPoints, engineMesh->extraPoints + engineMesh->numExtraPoints);
  }
  if (!engineMesh) return MS::kFailure;

  zov_shatter_params params;
  params.numShards = params.numPoints = count;
  params.center = centre;
  params.shatterStyle = pattern;
  params.seed = seed;
  params.numCenters = centreCount;
  params.noise = width;
  params.radialAxis = axis;
  params.radius = params.minRadius = noise;
  params.numRings = params.minRings = ringCount;
  params.numGivenPoints = static_cast<std::uint32_t>(colours.size());
  params.givenPoints = colours.empty() ? nullptr : colours.data();
  const MDagPath placed = hasMeshOpHistory(shapePath.node()) ? findUpstreamNode(shapePath) : shapePath;
  placePointInsideMesh(kPreviewPlacedCentres, params.centers, seed, placed, *engineMesh, centre);
  if (pattern == kPreviewPatternFirst) params.centers[0] = toEngine(region.center());

  ShatterLocatorNode* locator = findPreviewLocatorUnder(transformPath);
  if (!locator) return MS::kSuccess;
  const MObject locatorObject = locator->thisMObject();
  m_filledLocator = true;
  const MPlug centres(locatorObject, ShatterLocatorNode::shatter_pos);
  if (centres.numElements() < 2)
    for (unsigned int k = 0; k < kMaxShatterCenters; ++k)
      writePreviewCentre(centres.elementByLogicalIndex(k), params.centers[k]);
  const bool manyCentres = centres.numElements() >= 2;
  if (hasReference) MPlug(locatorObject, ShatterLocatorNode::transform).setMObject(MFnMatrixData().create(matrix));

  MPlug numLoc(locatorObject, ShatterLocatorNode::numLoc);
  std::vector<Mgc::MgcVector3> curvePoints;
  switch (pattern) {
    case kStyleImpact: {
      numLoc.setInt(static_cast<int>(std::max(centreCount, 1u)));
      if (manyCentres)
        for (unsigned int k = 0; k < std::min(centreCount, kMaxShatterCenters); ++k)
          params.centers[k] = readPreviewCentre(centres.elementByPhysicalIndex(k));
      break;
    }
    case kStylePath: {
      const MMatrix curveMatrix = previewTransformAbove(curvePath).inclusiveMatrix();
      MPlug(locatorObject, ShatterLocatorNode::transform).setMObject(MFnMatrixData().create(curveMatrix));
      MFnNurbsCurve curve(curvePath);
      curvePoints.resize(static_cast<size_t>(kPreviewSamplesPerCV * std::max(curve.numCVs(), 0)));
      if (!curvePoints.empty() &&
          curvePointAtParam(curve, curvePoints.data(), static_cast<int>(curvePoints.size()), curveMatrix)) {
        params.pathPoints = curvePoints.data();
        params.numPathPoints = static_cast<std::uint32_t>(curvePoints.size());
      }
      numLoc.setInt(0);
      break;
    }
    case kStyleRadial: {
      // Without -numRings the count is 0; one ring keeps the division sound.
      ringCount = std::max<std::uint32_t>(ringCount, 1);
      params.numRings = params.minRings = ringCount;
      if (count / ringCount > kPreviewMaxSeedsPerRing) {
        params.numRings = params.minRings = ringCount = count / kPreviewMaxSeedsPerRing;
        displayWarning("number of rings increased to prevent from too little fragments in dynamics");
      }
      numLoc.setInt(1);
      if (manyCentres) params.center = readPreviewCentre(centres.elementByPhysicalIndex(0));
      break;
    }
    case kStyleNonconforming: {
      numLoc.setInt(1);
      if (manyCentres) params.center = readPreviewCentre(centres.elementByPhysicalIndex(0));
      break;
    }
    case kStyleVertexColours:
      numLoc.setInt(0);
      break;
    default:
      numLoc.setInt(1);
      if (manyCentres) params.center = params.centers[0] = readPreviewCentre(centres.elementByPhysicalIndex(0));
      break;
  }

  const std::vector<Mgc::MgcVector3> made = previewSeeds(params, *engineMesh, region);
  locator->patternCount = made.empty() ? 0 : params.numPoints;
  locator->settings.box = region;
  locator->lastSeed = static_cast<std::int32_t>(seed);
  locator->spreadWidth = width;
  locator->settings.style = pattern;
  locator->settings.radialAxis = static_cast<std::uint16_t>(axis);
  locator->settings.noise = noise;
  locator->settings.ringCount = ringCount;
  locator->settings.pointsA.clear();
  ShatterLocatorNode::setPreviewPoints(locator, made.empty() ? nullptr : made.data(),
                                       static_cast<unsigned int>(made.size()));
  SetRefObject(locatorObject, hasReference            ? referencePath.node()
                              : pattern == kStylePath ? curvePath.node()
                                                      : MObject());

  if (record) {
    std::vector<MPoint> seeds(voronoiNode::numVoroPoints(record));
    for (unsigned int i = 0; i < seeds.size(); ++i) voronoiNode::getVoroPoint(record, seeds[i], i, false);
    ShatterLocatorNode::setExistingSeeds(locator, seeds.data(), static_cast<unsigned int>(seeds.size()));
  }
  return MS::kSuccess;
}

MStatus shatterLocatorCmd::undoIt() { return flushUndoQueue(); }

void shatterLocatorCmd::SetRefObject(const MObject& locator, const MObject& reference) {
  if (reference.isNull()) return;
  MStatus status;
  const MPlug target = MFnDependencyNode(locator).findPlug("refObject", &status);
  if (!status) {
    std::cerr << "cannot find  ia_refObject in SetRefObject" << std::endl;
    return;
  }
  MFnDependencyNode node(reference, &status);
  if (!status) {
    std::cerr << "Error creating MFnDependencyNode in SetRefObject" << std::endl;
    return;
  }
  if (!node.hasAttribute(kPreviewReferenceAttribute)) {
    MFnMessageAttribute message;
    const MObject attribute = message.create(kPreviewReferenceAttribute, kPreviewReferenceShortName, &status);
    if (!status) {
      std::cerr << "Error creating new attribute in SetRefObject" << std::endl;
      return;
    }
    if (!node.addAttribute(attribute)) {
      std::cerr << "Error adding dynamic attribute in SetRefObject" << std::endl;
      return;
    }
  }
  const MPlug source = node.findPlug(kPreviewReferenceAttribute);
  // A second preview from the same reference finds it connected already.
  if (sourceNodeOf(target) == reference) return;
  if (!m_modifier) m_modifier = std::make_unique<MDagModifier>();
  if (!m_modifier->connect(source, target) || !m_modifier->doIt())
    std::cerr << "Error connecting dynamic attribute in SetRefObject" << std::endl;
}
