// zovShatterPreview: fills the preview locator of a mesh with the seeds of a
// shatter and its settings.
#include "src/shatter/shatterLocatorCmd.h"

#include <maya/MFnDagNode.h>
#include <maya/MFnMatrixData.h>
#include <maya/MFnMesh.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MFnTransform.h>
#include <maya/MItSelectionList.h>
#include <maya/MSelectionList.h>
#include <maya/MTransformationMatrix.h>

#include <algorithm>
#include <iostream>
#include <vector>

#include "geometry/ShatterParams.h"
#include "src/commandSelection.h"
#include "src/hostEngineConversions.h"
#include "src/hostUtilities.h"
#include "src/nodeLinks.h"
#include "src/shatter/shatterLocatorNode.h"
#include "src/shatter/shatterSettings.h"
#include "src/shatter/voronoiNode.h"

namespace {

constexpr CommandFlag kPreviewWidthFlag{"-wd", "-width", MSyntax::kDouble};
constexpr CommandFlag kPreviewDrawPointsFlag{"-dp", "-drawPoints"};
/// The region's corners: minimum x, y, z, then maximum.
constexpr CommandFlag kPreviewRegionFlags[2][3] = {
    {{"-xmn", "-xmin", MSyntax::kDouble}, {"-ymn", "-ymin", MSyntax::kDouble}, {"-zmn", "-zmin", MSyntax::kDouble}},
    {{"-xmx", "-xmax", MSyntax::kDouble}, {"-ymx", "-ymax", MSyntax::kDouble}, {"-zmx", "-zmax", MSyntax::kDouble}}};

/// The seed a preview uses when the user gives none.
constexpr unsigned int kPreviewDefaultSeed = 17;
/// A reference mesh is looked at a little larger than it is.
constexpr double kPreviewReferenceScale = 1.2;
/// Patterns the command treats apart (the command's `-shatterStyle` - 1).
constexpr std::uint16_t kPreviewPatternFirst = 0;
const char* const kNoPolyObject = " no poly object selected";

const char* const kPreviewReferenceAttribute = "zovRefObj";
const char* const kPreviewReferenceShortName = "reo";

/// The flags take the ranges of the locator's settings; counts past the
/// most and widths not above the least are held there.
constexpr FlagBounds kPreviewCountRange{0.0, static_cast<double>(kMaxPreviewShards), false, true};
constexpr FlagBounds kPreviewStyleRange{0.0, 6.0};
constexpr FlagBounds kPreviewCentreRange{0.0, 5.0, false, true};
constexpr FlagBounds kPreviewWidthRange{0.01, 2.0, true, false};
constexpr FlagBounds kPreviewAxisRange{0.0, 2.0};
constexpr FlagBounds kPreviewNoiseRange{0.0, 2.0};
constexpr FlagBounds kPreviewRingRange{0.0, 20.0};

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

}  // namespace

MSyntax shatterLocatorCmd::newSyntax() {
  const CommandFlag(&r)[2][3] = kPreviewRegionFlags;
  return commandSyntax({kNumShardsFlag, kStyleFlag, kSeedFlag, kNumCentersFlag, kPreviewWidthFlag,
                        kPreviewDrawPointsFlag, kRadialAxisFlag, kNoiseFlag, kNumRingsFlag, kReferenceFlag, r[0][0],
                        r[0][1], r[0][2], r[1][0], r[1][1], r[1][2]},
                       givenObjects(1, 1));
}

bool shatterLocatorCmd::readRequest(Request& request) const {
  SeedPattern& pattern = request.pattern;
  unsigned int style = 0;
  unsigned int axis = 0;
  unsigned int rings = 0;
  if (!arguments.readInRange(kNumShardsFlag, kPreviewCountRange, pattern.count) ||
      !arguments.readInRange(kStyleFlag, kPreviewStyleRange, style) ||
      !arguments.readInRange(kNumCentersFlag, kPreviewCentreRange, pattern.centreCount) ||
      !arguments.readInRange(kPreviewWidthFlag, kPreviewWidthRange, pattern.width) ||
      !arguments.readInRange(kRadialAxisFlag, kPreviewAxisRange, axis) ||
      !arguments.readInRange(kNoiseFlag, kPreviewNoiseRange, pattern.noise) ||
      !arguments.readInRange(kNumRingsFlag, kPreviewRingRange, rings))
    return false;
  pattern.style = static_cast<std::uint16_t>(style - 1);
  pattern.radialAxis = static_cast<std::uint16_t>(axis);
  arguments.read(kSeedFlag, pattern.seed);
  if (pattern.seed == 0) pattern.seed = kPreviewDefaultSeed;
  pattern.ringCount = arguments.isSet(kNumRingsFlag) ? rings + 1 : 0;
  arguments.read(kReferenceFlag, request.references);
  double corners[2][3] = {};
  for (int corner = 0; corner < 2; ++corner)
    for (int a = 0; a < 3; ++a) arguments.read(kPreviewRegionFlags[corner][a], corners[corner][a]);
  request.flagRegion = MBoundingBox(MPoint(corners[0][0], corners[0][1], corners[0][2]),
                                    MPoint(corners[1][0], corners[1][1], corners[1][2]));
  return true;
}

bool shatterLocatorCmd::readReference(Request& request) const {
  if (request.pattern.style != kStylePath) {
    request.hasReference = firstPathOfType(request.references, MFn::kMesh, request.referencePath);
    return true;
  }
  if (firstPathOfType(request.references, MFn::kNurbsCurve, request.curvePath)) return true;
  displayError("path not present");
  return false;
}

MStatus shatterLocatorCmd::redoIt() {
  Request request;
  if (!readRequest(request)) return MS::kFailure;
  const MSelectionList objects = arguments.objects();
  if (MItSelectionList(objects, MFn::kGeometric).isDone()) return failWithInfo(kNoPolyObject);
  if (!readReference(request)) return MS::kFailure;
  if (!modifier) modifier = std::make_unique<MDagModifier>();
  if (!arguments.isSet(kPreviewDrawPointsFlag)) return MS::kSuccess;
  // The object itself must be the mesh shape: a transform does not do.
  MDagPath shapePath;
  if (!objects.getDagPath(0, shapePath) || !shapePath.hasFn(MFn::kMesh) || shapePath.hasFn(MFn::kTransform))
    return failWithInfo(kNoPolyObject);
  return preview(request, shapePath);
}

bool shatterLocatorCmd::previewFrame(const Request& request, const MDagPath& shapePath, bool recorded,
                                     Frame& frame) const {
  const MDagPath transformPath = meshWithTransform(shapePath).transform;
  frame.centre = toEngine(MFnTransform(transformPath).rotatePivot(MSpace::kWorld));
  frame.matrix = transformPath.inclusiveMatrix();
  frame.region = previewWorldBox(shapePath);
  if (request.pattern.style == kStyleVertexColours) {
    const MDagPath& colourSource = request.hasReference ? request.referencePath : shapePath;
    if (countColorSets(MFnMesh(colourSource)) != 0) return true;
    displayError(MFnDagNode(shapePath).name() + " doesnt count with vertex colors, preview not possible");
    return false;
  }
  if (request.hasReference) {
    const MDagPath referenceTransform = meshWithTransform(request.referencePath).transform;
    frame.centre = toEngine(MFnTransform(referenceTransform).rotatePivot(MSpace::kWorld));
    frame.region = previewWorldBox(request.referencePath);
    MTransformationMatrix scaled(request.referencePath.inclusiveMatrix());
    const double scale[3] = {kPreviewReferenceScale, kPreviewReferenceScale, kPreviewReferenceScale};
    scaled.setScale(scale, MSpace::kTransform);
    frame.matrix = scaled.asMatrix();
  } else if (recorded) {
    frame.region = request.flagRegion;
  }
  return true;
}

MStatus shatterLocatorCmd::preview(Request& request, const MDagPath& shapePath) {
  MObject recordObject;
  findVoronoiNodeFromPlug(shapePath, recordObject);
  voronoiNode* record = userNodeOf<voronoiNode>(recordObject);
  Frame frame;
  if (!previewFrame(request, shapePath, record != nullptr, frame)) return MS::kFailure;
  std::vector<Mgc::MgcVector3> colours;
  // The object's mesh is read in world space; a reference mesh through the
  // matrix made for it.
  const DFmeshPtr engineMesh =
      previewSeedMesh(shapePath, request.hasReference ? &request.referencePath : nullptr, frame.matrix, colours);
  if (!engineMesh) return MS::kFailure;

  // Without -numRings the ring count is 0; one ring keeps the radial
  // pattern's division sound.
  SeedPattern& pattern = request.pattern;
  if (pattern.style == kStyleRadial) pattern.ringCount = std::max<std::uint32_t>(pattern.ringCount, 1);
  ShatterPlan plan(pattern, frame.centre);
  plan.setColours(std::move(colours));
  plan.placeImpactCentres(shapePath, *engineMesh);
  if (pattern.style == kPreviewPatternFirst) plan.impactCentre(0) = toEngine(frame.region.center());

  ShatterLocatorNode* locator = findPreviewLocatorUnder(meshWithTransform(shapePath).transform);
  if (!locator) return MS::kSuccess;
  markChanged();
  placeCentres(*locator, request, frame, plan);

  const std::uint32_t ringCount = plan.ringCount();
  const std::vector<Mgc::MgcVector3> made = plan.seeds(*engineMesh, frame.region);
  locator->patternCount = made.empty() ? 0 : plan.madeCount();
  locator->settings.box = frame.region;
  locator->lastSeed = static_cast<std::int32_t>(pattern.seed);
  locator->spreadWidth = plan.width();
  locator->settings.style = pattern.style;
  locator->settings.radialAxis = pattern.radialAxis;
  locator->settings.noise = pattern.noise;
  locator->settings.ringCount = ringCount;
  locator->settings.pointsA.clear();
  ShatterLocatorNode::setPreviewPoints(locator, made.empty() ? nullptr : made.data(),
                                       static_cast<unsigned int>(made.size()));
  SetRefObject(locator->thisMObject(), request.hasReference          ? request.referencePath.node()
                                       : pattern.style == kStylePath ? request.curvePath.node()
                                                                     : MObject());
  if (record) {
    std::vector<MPoint> seeds(voronoiNode::numVoroPoints(record));
    for (unsigned int i = 0; i < seeds.size(); ++i) voronoiNode::getVoroPoint(record, seeds[i], i, false);
    ShatterLocatorNode::setExistingSeeds(locator, seeds.data(), static_cast<unsigned int>(seeds.size()));
  }
  return MS::kSuccess;
}

void shatterLocatorCmd::placeCentres(ShatterLocatorNode& locator, const Request& request, const Frame& frame,
                                     ShatterPlan& plan) {
  const MObject locatorObject = locator.thisMObject();
  const MPlug centres(locatorObject, ShatterLocatorNode::shatter_pos);
  if (centres.numElements() < 2)
    for (unsigned int k = 0; k < kMaxShatterCenters; ++k)
      writePreviewCentre(centres.elementByLogicalIndex(k), plan.impactCentre(k));
  const bool manyCentres = centres.numElements() >= 2;
  if (request.hasReference)
    MPlug(locatorObject, ShatterLocatorNode::transform).setMObject(MFnMatrixData().create(frame.matrix));
  const SeedPattern& pattern = request.pattern;
  MPlug numLoc(locatorObject, ShatterLocatorNode::numLoc);
  switch (pattern.style) {
    case kStyleImpact: {
      numLoc.setInt(static_cast<int>(std::max(pattern.centreCount, 1u)));
      if (manyCentres)
        for (unsigned int k = 0; k < std::min(pattern.centreCount, kMaxShatterCenters); ++k)
          plan.impactCentre(k) = readPreviewCentre(centres.elementByPhysicalIndex(k));
      break;
    }
    case kStylePath: {
      const MMatrix curveMatrix = meshWithTransform(request.curvePath).transform.inclusiveMatrix();
      MPlug(locatorObject, ShatterLocatorNode::transform).setMObject(MFnMatrixData().create(curveMatrix));
      plan.sampleCurve(MFnNurbsCurve(request.curvePath), curveMatrix);
      numLoc.setInt(0);
      break;
    }
    case kStyleRadial:
      plan.holdSeedsPerRing();
      numLoc.setInt(1);
      if (manyCentres) plan.setPatternCentre(readPreviewCentre(centres.elementByPhysicalIndex(0)));
      break;
    case kStyleNonconforming:
      numLoc.setInt(1);
      if (manyCentres) plan.setPatternCentre(readPreviewCentre(centres.elementByPhysicalIndex(0)));
      break;
    case kStyleVertexColours:
      numLoc.setInt(0);
      break;
    default:
      numLoc.setInt(1);
      if (manyCentres) {
        plan.impactCentre(0) = readPreviewCentre(centres.elementByPhysicalIndex(0));
        plan.setPatternCentre(plan.impactCentre(0));
      }
      break;
  }
}

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
  if (!modifier) modifier = std::make_unique<MDagModifier>();
  if (!modifier->connect(source, target) || !modifier->doIt())
    std::cerr << "Error connecting dynamic attribute in SetRefObject" << std::endl;
}
