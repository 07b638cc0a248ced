// The shatter preview locator: its attributes, the updates of its points and
// its drawing in the legacy viewport.
#include "src/shatter/shatterLocatorNode.h"

#include <GL/gl.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMatrixData.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MFnTransform.h>
#include <maya/MMatrix.h>
#include <maya/MPxManipContainer.h>

#include <algorithm>
#include <cstring>

#include "src/hostEngineConversions.h"
#include "src/hostUtilities.h"
#include "src/nodeAttributes.h"
#include "src/nodeLinks.h"
#include "src/shatter/shatterPlan.h"

const MTypeId ShatterLocatorNode::id(0x113A86);
const MString ShatterLocatorNode::nodeTypeName("ShatterLocator");
const MString ShatterLocatorNode::drawClassification("drawdb/geometry/ShatterLocator");
const char* const ShatterLocatorNode::label = "Fragmora Preview Mode";

namespace {

/// Centres the preview reads of `shatter_pos`.
constexpr unsigned int kLocatorMaxCentres = kMaxShatterCenters;
/// The seed used when the user gives none: previews repeat.
constexpr int kLocatorDefaultSeed = 17;
/// All of OpenGL's attribute groups.
constexpr GLbitfield kLocatorAllAttributeBits = 0xFFFFF;
constexpr float kLocatorPointSize = 4.0f;

constexpr AttributeFlags kLocatorHiddenFixed = kHiddenSetting;
constexpr AttributeFlags kLocatorHiddenConnectable = kNotKeyable.hidden(true);

/// The locator's path, its transform and the first mesh shape under that.
bool locatorObjectMesh(const ShatterLocatorNode& node, MDagPath& mesh) {
  MDagPath path;
  if (!MDagPath::getAPathTo(node.thisMObject(), path)) return false;
  path.pop();
  return path.length() > 0 && firstMeshBelow(path, mesh);
}

/// The centres in `shatter_pos` (at most five), into the plan; the first
/// is also the pattern's centre.
void locatorReadCentres(const MObject& node, ShatterPlan& plan) {
  const MPlug array(node, ShatterLocatorNode::shatter_pos);
  const unsigned int count = std::min(array.numElements(), kLocatorMaxCentres);
  for (unsigned int k = 0; k < count; ++k) {
    const MPlug element = array.elementByPhysicalIndex(k);
    plan.impactCentre(k) =
        Mgc::MgcVector3(element.child(0).asDouble(), element.child(1).asDouble(), element.child(2).asDouble());
  }
  if (count > 0) plan.setPatternCentre(plan.impactCentre(0));
}

MMatrix locatorMatrixOf(MDataBlock& block, const MObject& attribute) {
  MFnMatrixData data(block.inputValue(attribute).data());
  return data.object().isNull() ? MMatrix() : data.matrix();
}

/// `point` moved into the box, axis by axis.
MPoint locatorClampedInto(const MPoint& point, const MBoundingBox& box) {
  MPoint clamped = point;
  for (int axis = 0; axis < 3; ++axis)
    clamped[axis] = std::min(std::max(point[axis], box.min()[axis]), box.max()[axis]);
  return clamped;
}

}  // namespace

MStatus ShatterLocatorNode::initialize() {
  using Kind = MFnNumericData;
  const MStatus added = addAttributes({
      {shatter_pos, numericAttribute("shatter_pos", "shp", Kind::k3Double, 0.0, kNotKeyable.hidden(true).array(true)),
       "Unable to add \"ia_shatterPositions\" attribute"},
      {numLoc, boundedAttribute("numLoc", "nlc", Kind::kInt, 1.0, 0.0, 5.0, kLocatorHiddenFixed),
       "Unable to add \"ia_numLocators\" attribute"},
      {numPoints, boundedAttribute("numPoints", "np", Kind::kInt, 64.0, 2.0, 10000.0, kLocatorHiddenFixed),
       "Unable to add \"ia_numPoints\" attribute"},
      {seed, boundedAttribute("seed", "see", Kind::kInt, 0.0, 0.0, 16.0, kLocatorHiddenFixed),
       "Unable to add \"ia_seed\" attribute"},
      {width, boundedAttribute("width", "widt", Kind::kDouble, 0.2, 0.01, 2.0, kLocatorHiddenConnectable),
       "Unable to add \"ia_shatterWidth\" attribute"},
      {rings, boundedAttribute("rings", "rin", Kind::kInt, 3.0, 1.0, 20.0, kLocatorHiddenFixed),
       "Unable to add \"ia_shatterRings\" attribute"},
      {noise, boundedAttribute("noise", "nois", Kind::kDouble, 0.3, 0.0, 2.0, kLocatorHiddenConnectable),
       "Unable to add \"ia_shatterNoise\" attribute"},
      {refObject, messageAttribute("refObject", "reo", kNotKeyable.connectable(true)),
       "Unable to add \"ia_refObject\" attribute"},
      {transform, dataAttribute("transform", "trs", MFnData::kMatrix, kNotKeyable.connectable(true)),
       "Unable to add \"ia_transform\" attribute"},
      {ca_shatter_pos,
       hiddenTwin("ca_shatter_pos", "cashp"),
       {&shatter_pos},
       "Unable to add \"ca_shatterPositions\" attribute"},
      {ca_updated,
       hiddenTwin("ca_updated", "caup"),
       {&numLoc, &width, &rings, &noise, &numPoints, &seed},
       "Unable to add \"ca_updated\" attribute"},
  });
  if (!added) return added;
  return MPxManipContainer::addToManipConnectTable(id);
}

MStatus ShatterLocatorNode::compute(const MPlug& plug, MDataBlock& block) {
  if (plug == ca_shatter_pos) {
    updateFromCentres(block);
    block.setClean(plug);
  } else if (plug == ca_updated) {
    updateFromSettings(block);
    block.setClean(plug);
  }
  return MS::kUnknownParameter;
}

bool ShatterLocatorNode::updateFromSettings(MDataBlock& block) {
  MDagPath meshPath;
  if (!locatorObjectMesh(*this, meshPath)) return false;
  const MMatrix matrix = locatorMatrixOf(block, transform);

  // A mesh given as reference takes the object's place (in its own space,
  // through `transform`); the object's mesh is read in world space.
  const MObject reference = sourceNodeOf(MPlug(thisMObject(), refObject));
  MDagPath referencePath;
  const bool referenceIsMesh =
      !reference.isNull() && reference.hasFn(MFn::kMesh) && MDagPath::getAPathTo(reference, referencePath);
  std::vector<Mgc::MgcVector3> colours;
  const DFmeshPtr engineMesh = previewSeedMesh(meshPath, referenceIsMesh ? &referencePath : nullptr, matrix, colours);
  if (!engineMesh) return false;

  const unsigned int count = static_cast<unsigned int>(std::max(block.inputValue(numPoints).asInt(), 0));
  const int centres = block.inputValue(numLoc).asInt();
  spreadWidth = block.inputValue(width).asDouble();
  settings.ringCount = static_cast<std::uint32_t>(std::max(block.inputValue(rings).asInt(), 0) + 1);
  settings.noise = block.inputValue(noise).asDouble();
  lastSeed = block.inputValue(seed).asInt();
  if (lastSeed == 0) lastSeed = kLocatorDefaultSeed;

  const SeedPattern pattern{settings.style,
                            count,
                            static_cast<std::uint32_t>(lastSeed),
                            static_cast<std::uint32_t>(std::max(centres, 0)),
                            spreadWidth,
                            settings.ringCount,
                            settings.noise,
                            settings.radialAxis};
  ShatterPlan plan(pattern, Mgc::MgcVector3());
  plan.setColours(std::move(colours));
  if (settings.style == kStylePath && reference.hasFn(MFn::kNurbsCurve))
    plan.sampleCurve(MFnNurbsCurve(reference), matrix);
  locatorReadCentres(thisMObject(), plan);

  // Only the points the pattern made are shown: some make fewer than asked.
  const std::vector<Mgc::MgcVector3> made = plan.seeds(*engineMesh, settings.box);
  if (made.empty()) return false;
  patternCount = plan.madeCount();
  settings.pointsA.clear();
  setPreviewPoints(this, made.data(), static_cast<unsigned int>(made.size()));
  return true;
}

bool ShatterLocatorNode::updateFromCentres(MDataBlock& block) {
  MDagPath meshPath;
  if (!locatorObjectMesh(*this, meshPath)) return false;
  std::vector<Mgc::MgcVector3> colours;
  const DFmeshPtr engineMesh = previewSeedMesh(meshPath, nullptr, MMatrix(), colours);
  if (!engineMesh) return false;
  MBoundingBox objectBox = MFnDagNode(meshPath).boundingBox();
  objectBox.transformUsing(meshPath.exclusiveMatrix());

  SeedPattern pattern;
  // As many as the pattern made of the count asked for, which it makes
  // again (the preview shows those of them that are distinct).
  pattern.count = patternCount != 0 ? patternCount : settings.pointsA.length();
  pattern.style = settings.style;
  pattern.seed = static_cast<std::uint32_t>(lastSeed != 0 ? lastSeed : kLocatorDefaultSeed);
  pattern.width = spreadWidth;
  pattern.noise = settings.noise;
  pattern.ringCount = std::max<std::uint32_t>(settings.ringCount, 1);
  pattern.radialAxis = settings.radialAxis;
  pattern.centreCount = static_cast<std::uint32_t>(std::max(block.inputValue(numLoc).asInt(), 0));
  ShatterPlan plan(pattern, Mgc::MgcVector3());
  locatorReadCentres(thisMObject(), plan);

  // The first centre stays in the object's box and the region goes with
  // it, before the points are made, so that they follow the move at once.
  const MPoint centre = locatorClampedInto(toHostPoint(plan.impactCentre(0)), objectBox);
  plan.impactCentre(0) = toEngine(centre);
  plan.setPatternCentre(plan.impactCentre(0));
  if (!settings.box.isEmpty()) {
    const MVector shift = centre - settings.box.center();
    settings.box = MBoundingBox(settings.box.min() + shift, settings.box.max() + shift);
  }
  const std::vector<Mgc::MgcVector3> made = plan.seeds(*engineMesh, settings.box);
  if (made.empty()) return false;
  patternCount = plan.madeCount();
  settings.pointsA.clear();
  setPreviewPoints(this, made.data(), static_cast<unsigned int>(made.size()));
  return true;
}

MBoundingBox ShatterLocatorNode::boundingBox() const {
  MBoundingBox box;
  for (unsigned int i = 0; i < settings.pointsA.length(); ++i) box.expand(settings.pointsA[i]);
  return box;
}

void ShatterLocatorNode::setPreviewPoints(ShatterLocatorNode* node, const Mgc::MgcVector3* points, unsigned int count) {
  if (!node || !points) return;
  MDagPath path;
  MDagPath::getAPathTo(node->thisMObject(), path);
  const MMatrix toLocal = path.isValid() ? path.inclusiveMatrixInverse() : MMatrix();
  for (unsigned int i = 0; i < count; ++i) node->settings.pointsA.append(toHostPoint(points[i]) * toLocal);
}

void ShatterLocatorNode::setExistingSeeds(ShatterLocatorNode* node, const MPoint* points, unsigned int count) {
  if (!node || !points) return;
  node->settings.pointsB.clear();
  for (unsigned int i = 0; i < count; ++i) node->settings.pointsB.append(points[i]);
}

void ShatterLocatorNode::draw(M3dView& view, const MDagPath& path, M3dView::DisplayStyle, M3dView::DisplayStatus) {
  view.beginGL();
  glPushAttrib(kLocatorAllAttributeBits);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glColor4f(0.0f, 1.0f, 1.0f, 1.0f);
  glPointSize(kLocatorPointSize);
  glBegin(GL_POINTS);
  for (unsigned int i = 0; i < settings.pointsA.length(); ++i)
    glVertex3d(settings.pointsA[i].x, settings.pointsA[i].y, settings.pointsA[i].z);
  glEnd();
  if (settings.pointsB.length() > 0) {
    glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
    glBegin(GL_POINTS);
    for (unsigned int i = 0; i < settings.pointsB.length(); ++i)
      glVertex3d(settings.pointsB[i].x, settings.pointsB[i].y, settings.pointsB[i].z);
    glEnd();
  }
  glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
  const MObject transformNode = path.transform();
  const MVector at = transformNode.isNull() ? MVector() : MFnTransform(transformNode).getTranslation(MSpace::kObject);
  char text[100];
  std::strncpy(text, label, sizeof text - 1);
  text[sizeof text - 1] = '\0';
  view.drawText(text, MPoint(at), M3dView::kLeft);
  glPopMatrix();
  glPopAttrib();
  view.endGL();
}
