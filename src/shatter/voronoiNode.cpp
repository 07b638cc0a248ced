// The voronoi node: its attributes, its compute, and the static functions
// through which the shatter commands keep a shatter's record in it.
#include "src/shatter/voronoiNode.h"

#include <maya/MAnimUtil.h>
#include <maya/MDataHandle.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPlugArray.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/ModuleState.h"
#include "src/hostEngineConversions.h"
#include "src/meshes/cutFaceTags.h"
#include "src/nodeAttributes.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"

const MTypeId voronoiNode::id(0x113A84);
const MString voronoiNode::nodeTypeName("zovVoronoiNode");
const MString voronoiNode::drawClassification("drawdb/geometry/voronoiPoints");

namespace {

/// Indices a display face keeps.
constexpr unsigned int kMaxDisplayFaceCorners = 32;
/// Display vertices that the 16-bit entries of `displayFaces` can name.
constexpr unsigned int kMaxDisplayVertices = std::numeric_limits<std::int16_t>::max() + 1u;
/// The roughening settings' range.
constexpr double kMaxJaggy = 4.0;
/// Settings kept with the scene out of the user's way.
constexpr AttributeFlags kStoredHidden = kNotKeyable.hidden(true).storable(true);
/// The record's arrays: kept with the scene, not keyable.
constexpr AttributeFlags kStoredList = kNotKeyable.storable(true).array(true);
constexpr AttributeFlags kStoredHiddenList = kStoredList.hidden(true);

/// The number the next voronoi node gets, less one: 0 at each load.
int g_indexCounter = 0;
const zov::platform::ModuleStateReset g_indexCounterReset([] { g_indexCounter = 0; });

MPlug plugOf(voronoiNode* node, const MObject& attribute) { return MPlug(node->thisMObject(), attribute); }

void writeFloat3(MPlug element, double x, double y, double z) {
  element.child(0).setFloat(static_cast<float>(x));
  element.child(1).setFloat(static_cast<float>(y));
  element.child(2).setFloat(static_cast<float>(z));
}

MPoint readFloat3(const MPlug& element) {
  return MPoint(element.child(0).asFloat(), element.child(1).asFloat(), element.child(2).asFloat());
}

MPoint transformed(const MPoint& p, const MMatrix& m) {
  const MVector v = transformPoint(MVector(p.x, p.y, p.z), m);
  return MPoint(v.x, v.y, v.z);
}

/// The path to the node, or an invalid path.
MDagPath pathOf(voronoiNode* node) {
  MDagPath path;
  MDagPath::getAPathTo(node->thisMObject(), path);
  return path;
}

/// Whether the shards of the node's group still lie where their cells do:
/// not once one of them is animated or carries a rigid body (a body node
/// under a shard's transform). A node outside any group has no shards.
bool shardsStayInTheirCells(const MObject& node) {
  MDagPath group;
  if (!MDagPath::getAPathTo(node, group)) return false;
  group.pop(2);
  if (group.length() == 0) return true;
  for (unsigned int c = 0; c < group.childCount(); ++c) {
    const MObject child = group.child(c);
    if (MAnimUtil::isAnimated(child)) return false;
    MFnDagNode childFn(child);
    for (unsigned int g = 0; g < childFn.childCount(); ++g)
      if (MFnDependencyNode(childFn.child(g)).typeId() == rigidBodyNode::id) return false;
  }
  return true;
}

/// Every element of a float3 array plug, by physical index.
MPointArray readPoints(voronoiNode* node, const MObject& attribute) {
  MPointArray points;
  const MPlug array = plugOf(node, attribute);
  for (unsigned int i = 0; i < array.numElements(); ++i) points.append(readFloat3(array.elementByPhysicalIndex(i)));
  return points;
}

}  // namespace

MStatus voronoiNode::initialize() {
  using Kind = MFnNumericData;
  const MStatus added = addAttributes({
      {version, stringAttribute("version", "vs", "0.0", kStoredHidden)},
      {cutmatname, stringAttribute("cutmatname", "cmn", "", kStoredHidden)},
      {inShape, dataAttribute("inShape", "insh", MFnData::kMesh, AttributeFlags().storable(false).hidden(true))},
      {drawAttr, numericAttribute("draw", "dra", Kind::kInt, 0.0, kHiddenState)},
      {jaggyLength,
       boundedAttribute("jaggyLength", "jle", Kind::kFloat, 0.0, 0.0, kMaxJaggy, kNotKeyable.hidden(true))},
      {jaggyStrenght,
       boundedAttribute("jaggyStrenght", "jst", Kind::kFloat, 0.0, 0.0, kMaxJaggy, kNotKeyable.hidden(true))},
      {index, numericAttribute("index", "idx", Kind::kInt, -1.0, kHiddenSetting.storable(true))},
      {scheme, enumAttribute("scheme", "sch", kVoroConform,
                             {{"VORO_CONFORM", kVoroConform}, {"VORO_NONCONFORM", kVoroNonconform}},
                             kNotKeyable.hidden(false).storable(true))},
      {bboxmin, numericAttribute("bboxmin", "bbmi", Kind::k3Float, 0.0, kStoredHiddenList)},
      {bboxmax, numericAttribute("bboxmax", "bbma", Kind::k3Float, 0.0, kStoredHiddenList)},
      {voroPoints, numericAttribute("voroPoints", "vop", Kind::k3Float, 0.0, kStoredList.hidden(false)),
       "Unable to add \"ia_voroPoints\" attribute"},
      {voroGroups, numericAttribute("voroGroups", "vog", Kind::kShort, 0.0, kStoredHiddenList),
       "Unable to add \"ia_voroGroups\" attribute"},
      {displayPoints, numericAttribute("displayPoints", "dip", Kind::k3Float, 0.0, kStoredHiddenList),
       "Unable to add \"ia_displayPoints\" attribute"},
      {displayFaces, numericAttribute("displayFaces", "dif", Kind::kShort, 0.0, kStoredHiddenList),
       "Unable to add \"ia_displayFaces\" attribute"},
      {ca_displayPoints,
       hiddenTwin("ca_displayPoints", "cadp"),
       {&displayPoints},
       "Unable to add \"ca_displayPoints\" attribute"},
      {ca_voroPoints, hiddenTwin("ca_voroPoints", "cavo"), {&voroPoints}, "Unable to add \"ca_voroPoints\" attribute"},
      {ca_shape, hiddenTwin("ca_shape", "csha"), {&inShape}, "Unable to add \"ca_shape\" attribute"},
      {cadraw, hiddenTwin("cadraw", "cdra"), {&drawAttr}, "Unable to add \"ca_draw\" attribute"},
  });
  if (!added) return added;
  return MS::kSuccess;
}

MBoundingBox voronoiNode::boundingBox() const { return MBoundingBox(MPoint(-1.0, -1.0, -1.0), MPoint(1.0, 1.0, 1.0)); }

MStatus voronoiNode::compute(const MPlug& plug, MDataBlock& block) {
  if (plug == ca_voroPoints) {
    readPoints(this, voroPoints);
    block.setClean(plug);
  } else if (plug == cadraw) {
    if (block.inputValue(drawAttr).asInt() == 0) {
      drawEnabled = false;
    } else if (prepareCellDisplay(this, plug, block)) {
      drawEnabled = true;
    } else {
      drawEnabled = false;
      block.outputValue(drawAttr).setInt(0);
    }
    block.outputValue(cadraw).setBool(true);
    block.setClean(plug);
  }
  return MS::kUnknownParameter;
}

// ---- Points --------------------------------------------------------------

void voronoiNode::setVoroPoints(voronoiNode* node, const Mgc::MgcVector3* points, unsigned int count,
                                const MMatrix& matrix) {
  if (!node || !points) return;
  const MPlug array = plugOf(node, voroPoints);
  for (unsigned int i = 0; i < count; ++i) {
    const MPoint p = transformed(MPoint(points[i].x, points[i].y, points[i].z), matrix);
    writeFloat3(array.elementByLogicalIndex(i), p.x, p.y, p.z);
    node->settings.pointsB.append(p);
  }
}

void voronoiNode::addVoroPoints(voronoiNode* node, const Mgc::MgcVector3* points, unsigned int count,
                                const MMatrix& matrix) {
  if (!node) return;
  const MPlug array = plugOf(node, voroPoints);
  const unsigned int first = array.numElements();
  for (unsigned int i = 0; points && i < count; ++i) {
    const MPoint p = transformed(MPoint(points[i].x, points[i].y, points[i].z), matrix);
    writeFloat3(array.elementByLogicalIndex(first + i), p.x, p.y, p.z);
  }
  node->settings.pointsA = readPoints(node, voroPoints);
  pullPlug(node->thisMObject(), ca_voroPoints);
}

void voronoiNode::replaceVoroPoints(voronoiNode* node, const MPointArray& points) {
  if (!node) return;
  node->settings.pointsA.clear();
  const MPlug array = plugOf(node, voroPoints);
  for (unsigned int i = 0; i < points.length(); ++i) {
    writeFloat3(array.elementByLogicalIndex(i), points[i].x, points[i].y, points[i].z);
    node->settings.pointsA.append(points[i]);
  }
  pullPlug(node->thisMObject(), ca_voroPoints);
}

void voronoiNode::transformVoroPoints(voronoiNode* node, const MMatrix& matrix) {
  if (!node) return;
  const MPlug array = plugOf(node, voroPoints);
  for (unsigned int i = 0; i < array.numElements(); ++i) {
    const MPlug element = array.elementByPhysicalIndex(i);
    const MPoint p = transformed(readFloat3(element), matrix);
    writeFloat3(element, p.x, p.y, p.z);
  }
}

MPoint voronoiNode::getVoroPoint(voronoiNode* node, MPoint& point, unsigned int i, bool world) {
  point = MPoint(0.0, 0.0, 0.0);
  if (!node) return point;
  const MPlug array = plugOf(node, voroPoints);
  if (i < array.numElements()) point = readFloat3(array.elementByPhysicalIndex(i));
  if (world) {
    const MDagPath path = pathOf(node);
    if (path.isValid()) point = transformed(point, path.exclusiveMatrix());
  }
  point.w = 1.0;
  return point;
}

void voronoiNode::getWorldPoints(voronoiNode* node, MPointArray& points, bool transform) {
  if (!node) return;
  if (!transform) {
    points = node->settings.pointsB;
    return;
  }
  const MDagPath path = pathOf(node);
  const MMatrix matrix = path.isValid() ? path.exclusiveMatrix() : MMatrix();
  for (unsigned int i = 0; i < node->settings.pointsB.length(); ++i)
    points.append(transformed(node->settings.pointsB[i], matrix));
}

unsigned int voronoiNode::numVoroPoints(voronoiNode* node) { return node ? plugOf(node, voroPoints).numElements() : 0; }
unsigned int voronoiNode::numVoroGroups(voronoiNode* node) { return node ? plugOf(node, voroGroups).numElements() : 0; }
unsigned int voronoiNode::numBoundingBoxes(voronoiNode* node) { return node ? plugOf(node, bboxmin).numElements() : 0; }

// ---- Levels ----------------------------------------------------------------

void voronoiNode::setVoroGroup(voronoiNode* node, short value) {
  if (!node) return;
  const MPlug array = plugOf(node, voroGroups);
  array.elementByLogicalIndex(array.numElements()).setShort(value);
}

int voronoiNode::getVoroGroup(voronoiNode* node, unsigned int i) {
  if (!node) return 0;
  const MPlug array = plugOf(node, voroGroups);
  return i < array.numElements() ? array.elementByPhysicalIndex(i).asShort() : 0;
}

void voronoiNode::setBoundingBox(voronoiNode* node, const MBoundingBox& box) {
  if (!node) return;
  for (const auto& [attribute, corner] : {std::make_pair(bboxmin, box.min()), std::make_pair(bboxmax, box.max())}) {
    const MPlug array = plugOf(node, attribute);
    if (array.isNull()) continue;
    writeFloat3(array.elementByLogicalIndex(array.numElements()), corner.x, corner.y, corner.z);
  }
  node->settings.box = box;
}

MBoundingBox voronoiNode::getBoundingBox(voronoiNode* node, MBoundingBox& box, unsigned int k) {
  box = MBoundingBox();
  if (!node) return box;
  const MPlug minimum = plugOf(node, bboxmin);
  const MPlug maximum = plugOf(node, bboxmax);
  if (k >= minimum.numElements()) return box;
  const MPoint low = readFloat3(minimum.elementByPhysicalIndex(k));
  const MPoint high = k < maximum.numElements() ? readFloat3(maximum.elementByPhysicalIndex(k)) : MPoint(0, 0, 0);
  box = MBoundingBox(low, high);
  return box;
}

void voronoiNode::setScheme(voronoiNode* node, short value) {
  if (node) plugOf(node, scheme).setShort(value);
}
short voronoiNode::getScheme(voronoiNode* node) { return node ? plugOf(node, scheme).asShort() : kVoroConform; }

void voronoiNode::assignNextIndex(voronoiNode* node) {
  if (!node) return;
  ++g_indexCounter;
  plugOf(node, index).setInt(g_indexCounter);
}
int voronoiNode::getIndex(voronoiNode* node) { return node ? plugOf(node, index).asInt() : -1; }
void voronoiNode::setIndexCounter(int value) { g_indexCounter = value; }
int voronoiNode::indexCounter() { return g_indexCounter; }

void voronoiNode::setCutMatName(voronoiNode* node, const MString& name) {
  if (!node) return;
  node->settings.cutMaterialName = name;
  const MPlug plug = plugOf(node, cutmatname);
  if (!plug.isNull()) MPlug(plug).setString(name);
}

MString voronoiNode::getCutMatName(voronoiNode* node) {
  if (!node) return MString();
  node->settings.cutMaterialName = plugOf(node, cutmatname).asString();
  return node->settings.cutMaterialName;
}

void voronoiNode::setShatterTime(voronoiNode* node, const MTime& time) {
  if (node) node->shatterTime = time;
}
MTime voronoiNode::getShatterTime(voronoiNode* node) { return node ? node->shatterTime : MTime(); }

void voronoiNode::allocateStoredShapes(unsigned int count) {
  storedShapes.clear();
  storedShapes.resize(count);
  storedCount = 0;
}

// ---- Display cells -----------------------------------------------------------

bool voronoiNode::setDisplayCells(voronoiNode* node, ZOV_DFmesh* const* shards, unsigned int count) {
  if (!node || !shards || count == 0) return false;
  std::uint32_t faces = 0;
  std::uint32_t corners = 0;
  for (unsigned int s = 0; s < count; ++s) {
    if (!shards[s]) continue;
    for (std::uint32_t f = 0; f < shards[s]->numFaces; ++f)
      if ((shards[s]->faces[f].faceFlags & kCutFaceFlag) != 0) {
        ++faces;
        corners += shards[s]->faces[f].numVertices;
      }
  }
  if (faces == 0) return false;
  // The face list stores 16-bit indices: past that, stored indices would
  // turn negative and read back as separators.
  if (corners > kMaxDisplayVertices) return false;
  const MDagPath path = pathOf(node);
  const MMatrix toLocal = path.isValid() ? path.inclusiveMatrixInverse() : MMatrix();

  node->displayCells.reset(createDFmesh(corners, 0, faces, 1, 0));
  if (!node->displayCells) return false;
  ZOV_DFmesh& cells = *node->displayCells;
  std::uint32_t vertex = 0;
  std::uint32_t face = 0;
  for (unsigned int s = 0; s < count; ++s) {
    if (!shards[s]) continue;
    const ZOV_DFmesh& shard = *shards[s];
    for (std::uint32_t f = 0; f < shard.numFaces; ++f) {
      const DFface& from = shard.faces[f];
      if ((from.faceFlags & kCutFaceFlag) == 0) continue;
      DFface& to = cells.faces[face++];
      allocateBufferChannels(&to, from.numVertices, 1, false);
      for (std::uint32_t k = 0; k < from.numVertices; ++k) {
        const Mgc::MgcVector3& p = shard.worldVertices[from.vertices[k] < shard.numVertices ? from.vertices[k] : 0];
        const MPoint local = transformed(MPoint(p.x, p.y, p.z), toLocal);
        cells.vertices[vertex] = cells.worldVertices[vertex] = Mgc::MgcVector3(local.x, local.y, local.z);
        to.vertices[k] = vertex++;
      }
      to.numVertices = from.numVertices;
    }
  }
  cells.numVertices = vertex;
  cells.numFaces = face;

  const MPlug points = plugOf(node, displayPoints);
  for (std::uint32_t v = 0; v < cells.numVertices; ++v)
    writeFloat3(points.elementByLogicalIndex(v), cells.vertices[v].x, cells.vertices[v].y, cells.vertices[v].z);
  const MPlug list = plugOf(node, displayFaces);
  unsigned int entry = 0;
  for (std::uint32_t f = 0; f < cells.numFaces; ++f) {
    for (std::uint32_t k = 0; k < cells.faces[f].numVertices; ++k)
      list.elementByLogicalIndex(entry++).setShort(static_cast<short>(cells.faces[f].vertices[k]));
    list.elementByLogicalIndex(entry++).setShort(-1);
  }
  return true;
}

bool voronoiNode::buildDisplayCells(voronoiNode* node, MDataBlock&) { return buildDisplayCells(node); }

bool voronoiNode::buildDisplayCells(voronoiNode* node) {
  if (!node) return false;
  const MPointArray points = readPoints(node, displayPoints);
  const MPlug list = plugOf(node, displayFaces);
  const unsigned int n = points.length();
  const unsigned int m = list.numElements();
  if (n == 0 || m == 0) return false;

  // The faces first: indices up to a separator, at most 32 kept; a face
  // naming a vertex that is not there is left out.
  std::vector<std::vector<std::uint32_t>> faces;
  std::vector<std::uint32_t> current;
  bool broken = false;
  for (unsigned int i = 0; i < m; ++i) {
    const int value = list.elementByPhysicalIndex(i).asShort();
    if (value < 0) {
      if (!broken && !current.empty()) faces.push_back(current);
      current.clear();
      broken = false;
    } else if (static_cast<unsigned int>(value) >= n) {
      broken = true;
    } else if (current.size() < kMaxDisplayFaceCorners) {
      current.push_back(static_cast<std::uint32_t>(value));
    }
  }
  node->displayCells.reset();
  if (faces.empty()) return false;
  node->displayCells.reset(createDFmesh(n, 0, static_cast<std::uint32_t>(faces.size()), 1, 0));
  if (!node->displayCells) return false;
  ZOV_DFmesh& cells = *node->displayCells;
  for (unsigned int v = 0; v < n; ++v)
    cells.vertices[v] = cells.worldVertices[v] = Mgc::MgcVector3(points[v].x, points[v].y, points[v].z);
  for (size_t f = 0; f < faces.size(); ++f) {
    DFface& face = cells.faces[f];
    allocateBufferChannels(&face, static_cast<std::uint32_t>(faces[f].size()), 1, false);
    std::copy(faces[f].begin(), faces[f].end(), face.vertices);
    face.numVertices = static_cast<std::uint32_t>(faces[f].size());
  }
  return true;
}

bool voronoiNode::prepareCellDisplay(voronoiNode* node, const MPlug&, MDataBlock& block) {
  if (!node) return false;
  MDagPath group = pathOf(node);
  if (!group.isValid()) return false;
  group.pop(2);
  if (group.length() == 0) return true;
  if (!shardsStayInTheirCells(node->thisMObject())) return false;
  if (node->displayCells) return true;
  return buildDisplayCells(node, block);
}

bool voronoiNode::showsCells() const { return drawEnabled && displayCells && shardsStayInTheirCells(thisMObject()); }

// ---- Finding records ----------------------------------------------------------

void findVoronoiNodeFromPlug(const MDagPath& meshPath, MObject& node) {
  if (!meshPath.isValid()) return;
  const MPlug worldMesh = MFnDependencyNode(meshPath.node()).findPlug("worldMesh");
  if (worldMesh.isNull()) return;
  MPlugArray destinations;
  worldMesh.elementByLogicalIndex(meshPath.instanceNumber()).destinations(destinations);
  for (unsigned int i = 0; i < destinations.length(); ++i) {
    const MObject candidate = destinations[i].node();
    if (MFnDependencyNode(candidate).typeId() == voronoiNode::id) {
      node = candidate;
      return;
    }
  }
}

bool hasVoronoiNode(const MDagPath& meshPath) {
  MObject node;
  findVoronoiNodeFromPlug(meshPath, node);
  return !node.isNull();
}

void findVoronoiForShape(const MDagPath& shapePath, MObject& node) {
  findVoronoiNodeFromPlug(shapePath, node);
  if (!node.isNull()) return;
  MDagPath group = shapePath;
  if (group.pop(2) && group.length() > 0 && group.hasFn(MFn::kTransform)) findVoronoiUnder(group, node);
}

namespace {

/// The voronoi node that is the only child of a transform, or null.
MObject soleVoronoiChild(const MObject& transform) {
  if (!transform.hasFn(MFn::kTransform)) return MObject();
  MFnDagNode fn(transform);
  if (fn.childCount() != 1) return MObject();
  const MObject child = fn.child(0);
  return MFnDependencyNode(child).typeId() == voronoiNode::id ? child : MObject();
}

}  // namespace

void findVoronoiUnder(const MDagPath& group, MObject& node) {
  if (!group.isValid()) return;
  for (unsigned int c = 0; c < group.childCount(); ++c) {
    const MObject found = soleVoronoiChild(group.child(c));
    if (!found.isNull()) {
      node = found;
      return;
    }
  }
}

bool isShatterGroup(const MDagPath& path) {
  if (!path.isValid() || path.length() == 0 || !path.hasFn(MFn::kTransform)) return false;
  for (unsigned int c = 0; c < path.childCount(); ++c)
    if (!soleVoronoiChild(path.child(c)).isNull()) return true;
  return false;
}

bool isInShatterGroup(const MDagPath& path) {
  MDagPath parent = path;
  if (!parent.isValid() || !parent.pop() || parent.length() == 0) return false;
  return parent.hasFn(MFn::kTransform) && isShatterGroup(parent);
}

bool findVoronoiShape(const MDagPath& path, MDagPath& group) {
  MDagPath current = path;
  while (current.isValid() && current.length() > 0 && !isShatterGroup(current)) current.pop();
  if (!current.isValid() || current.length() == 0) return false;
  // The outermost of nested shatter groups.
  while (current.isValid() && current.length() > 0) {
    const MDagPath remembered = current;
    current.pop();
    if (current.length() == 0 || !isShatterGroup(current)) {
      group = remembered;
      return true;
    }
  }
  return false;
}

bool findVoronoiChild(const MDagPath& path, MObject& node, MDagPath& group) {
  if (!path.isValid() || !findVoronoiShape(path, group)) return false;
  for (unsigned int c = 0; c < group.childCount(); ++c) {
    const MObject found = soleVoronoiChild(group.child(c));
    if (!found.isNull()) {
      node = found;
      return true;
    }
  }
  return false;
}

bool findShatterGroupNumber(const MDagPath& path, int& group) {
  MObject record;
  MDagPath shatterGroup;
  if (!findVoronoiChild(path, record, shatterGroup)) return false;
  group = voronoiNode::getIndex(userNodeOf<voronoiNode>(record));
  return true;
}
