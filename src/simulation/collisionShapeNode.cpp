#include "src/simulation/collisionShapeNode.h"

#include <maya/MDataHandle.h>
#include <maya/MFloatPointArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MItMeshPolygon.h>
#include <maya/MPointArray.h>
#include <maya/MVector.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "engine/MeshFactory.h"
#include "geometry/MassProperties.h"
#include "math/Tolerances.h"
#include "src/hostEngineConversions.h"
#include "src/nodeAttributes.h"
#include "src/nodeLinks.h"

const MTypeId collisionShapeNode::id(0x113A50);
const MString collisionShapeNode::nodeTypeName("zovCollisionShape");

namespace {

/// How one host polygon becomes engine faces.
enum class PolygonSplit { kWhole, kFan, kHostTriangles };

struct PolygonPlan {
  PolygonSplit split;
  std::uint32_t faces;
};

PolygonPlan planPolygon(const MItMeshPolygon& polygon) {
  const unsigned int corners = polygon.polygonVertexCount();
  if (!polygon.isConvex()) {
    int triangles = 0;
    polygon.numTriangles(triangles);
    return {PolygonSplit::kHostTriangles, triangles > 0 ? static_cast<std::uint32_t>(triangles) : 0u};
  }
  if (corners <= kMaxFaceCorners) return {PolygonSplit::kWhole, 1};
  return {PolygonSplit::kFan, corners - 2};
}

/// Writes one face (at most kMaxFaceCorners corners, as planned).
void setFace(mesh_face& face, const int* vertices, unsigned int count) {
  face.numVertices = count;
  for (unsigned int k = 0; k < count; ++k) face.vertices[k] = static_cast<std::uint32_t>(vertices[k]);
}

void setVertices(ZOVmesh& shape, const MFloatPointArray& points) {
  for (std::uint32_t v = 0; v < shape.numVertices; ++v) shape.vertices[v] = toEngine(points[v]);
}

/// Whether the world matrix behind the points mirrors the mesh: its volume
/// in object space and in world space have opposite signs. A mesh that
/// encloses no volume to speak of cannot tell, and counts as not mirrored.
/// The mesh's vertices are left as they come.
bool mirroredInWorld(ZOVmesh& shape, const MFloatPointArray& objectPoints, const MFloatPointArray& worldPoints) {
  if (objectPoints.length() != worldPoints.length()) return false;
  setVertices(shape, objectPoints);
  const double objectVolume = meshVolume(shape);
  setVertices(shape, worldPoints);
  const double worldVolume = meshVolume(shape);
  return std::fabs(objectVolume) >= zov::kTolerance && std::fabs(worldVolume) >= zov::kTolerance &&
         (objectVolume < 0.0) != (worldVolume < 0.0);
}

/// Turns every face the other way round, normals included.
void reverseFaces(ZOVmesh& shape) {
  for (std::uint32_t f = 0; f < shape.numFaces; ++f) {
    mesh_face& face = shape.faces[f];
    std::reverse(face.vertices, face.vertices + face.numVertices);
    shape.faceNormals[f] = -shape.faceNormals[f];
  }
}

}  // namespace

void collisionShapeNode::MeshDeleter::operator()(ZOVmesh* mesh) const { deleteMesh(&mesh); }

collisionShapeNode::collisionShapeNode() = default;

collisionShapeNode::~collisionShapeNode() = default;

bool collisionShapeNode::isShapeNode(const MObject& node) {
  return !node.isNull() && MFnDependencyNode(node).typeId() == id;
}

MStatus collisionShapeNode::initialize() {
  // Outputs the user sees but that are made again on every evaluation.
  constexpr AttributeFlags kShownOutput = AttributeFlags().storable(false).hidden(false);
  const MStatus added = addAttributes({
      {shapeType, enumAttribute("type", "tp", kTypeConvexHull,
                                {{"None", kTypeNone},
                                 {"Capsule", kTypeCapsule},
                                 {"Convex Hull", kTypeConvexHull},
                                 {"Mesh", kTypeMesh},
                                 {"Auto", kTypeAuto},
                                 {"Cracker", kTypeCracker}},
                                kNotKeyable)},
      {outCollisionShape, dataAttribute("outCollisionShape", "oucs", MFnData::kMesh, kShownOutput)},
      {outCollisionType,
       numericAttribute("outCollisionType", "ouct", MFnNumericData::kInt, 0.0, kShownOutput),
       {&shapeType, &flipCollisionSide}},
      {inShape, dataAttribute("inShape", "insh", MFnData::kMesh, kShownOutput)},
      {animatedMesh, numericAttribute("animated(Mesh)", "ac", MFnNumericData::kBoolean, 0.0, kNotKeyable)},
      {flipCollisionSide,
       numericAttribute("flipCollisionSide(Mesh)", "fcs", MFnNumericData::kBoolean, 0.0, kNotKeyable)},
      // The one twin that may be connected: body nodes follow it.
      {ca_collisionShape,
       numericAttribute("ca_collisionShape", "ccs", MFnNumericData::kBoolean, 0.0, kHiddenState.connectable(true)),
       {&shapeType, &flipCollisionSide}},
      {collisionShapeParam,
       hiddenTwin("collisionShapeParam", "cspm"),
       {&shapeType, &inShape, &animatedMesh, &flipCollisionSide}},
  });
  if (!added) return added;

  return MS::kSuccess;
}

MStatus collisionShapeNode::compute(const MPlug& plug, MDataBlock& block) {
  if (plug == outCollisionType) {
    block.outputValue(outCollisionType).set(static_cast<int>(block.inputValue(shapeType).asShort()));
  } else if (plug == ca_collisionShape) {
    const bool flip = block.inputValue(flipCollisionSide).asBool();
    buildShape(block.inputValue(inShape).asMesh(), true, flip);
    block.outputValue(ca_collisionShape).set(true);
  } else if (plug == collisionShapeParam) {
    block.outputValue(collisionShapeParam).set(true);
    // Only a triangle-mesh shape follows a deforming mesh or has a side.
    if (block.inputValue(shapeType).asShort() != kTypeMesh) {
      for (const MObject* option : {&animatedMesh, &flipCollisionSide}) {
        MDataHandle handle = block.inputValue(*option);
        if (handle.asBool()) handle.set(false);
      }
    }
    if (block.inputValue(animatedMesh).asBool())
      buildShape(block.inputValue(inShape).asMesh(), false, block.inputValue(flipCollisionSide).asBool());
  } else {
    return MS::kUnknownParameter;
  }
  block.setClean(plug);
  return MS::kSuccess;
}

ZOVmesh* collisionShapeNode::getShape() {
  if (!engineMesh) rebuildShape();
  pullPlugs(thisMObject(), {&outCollisionType, &ca_collisionShape, &collisionShapeParam});
  return engineMesh.get();
}

void collisionShapeNode::rebuildShape() {
  const MObject self = thisMObject();
  const bool flip = MPlug(self, flipCollisionSide).asBool();
  buildShape(MPlug(self, inShape).asMObject(), true, flip);
}

void collisionShapeNode::releaseShape() { engineMesh.reset(); }

void collisionShapeNode::onNodeRemoved(MObject& node, void*) {
  if (collisionShapeNode* shape = userNodeOf<collisionShapeNode>(node)) shape->releaseShape();
}

void collisionShapeNode::buildShape(const MObject& meshData, bool force, bool flip) {
  outOfMemory = false;
  try {
    buildShapeFrom(meshData, force, flip);
  } catch (const std::bad_alloc&) {
    releaseShape();
    outOfMemory = true;
  }
}

void collisionShapeNode::buildShapeFrom(const MObject& meshData, bool force, bool flip) {
  MStatus status;
  MFnMesh mesh(meshData, &status);
  MFloatPointArray points, objectPoints;
  if (status) status = mesh.getPoints(points, MSpace::kWorld);
  if (status) status = mesh.getPoints(objectPoints, MSpace::kObject);
  MItMeshPolygon polygons(meshData);
  std::vector<PolygonPlan> plans;
  std::uint32_t numFaces = 0;
  if (status)
    for (polygons.reset(); !polygons.isDone(); polygons.next()) {
      plans.push_back(planPolygon(polygons));
      numFaces += plans.back().faces;
    }
  const std::uint32_t numVertices = points.length();
  // No geometry, no engine mesh: a body must not be built from an empty one.
  if (numVertices == 0 || numFaces == 0) {
    releaseShape();
    return;
  }

  const bool fits = engineMesh && numFaces <= engineMesh->numFaces && numVertices <= engineMesh->numVertices;
  if (force || !fits) {
    releaseShape();
    engineMesh.reset(createMesh(numVertices, numFaces));
    if (!engineMesh) throw std::bad_alloc();
  }
  ZOVmesh& shape = *engineMesh;
  // A refilled mesh may be larger than the new geometry: only the new points
  // count, or stale ones would still shape hulls and volumes.
  shape.numVertices = numVertices;

  std::uint32_t written = 0;
  MIntArray corners;
  MPointArray trianglePoints;
  MIntArray triangle;
  polygons.reset();
  for (const PolygonPlan& plan : plans) {
    const int index = static_cast<int>(polygons.index());
    MVector normal;
    mesh.getPolygonNormal(index, normal, MSpace::kWorld);
    if (flip && normal * normal >= zov::kTolerance) normal = -normal;
    const Mgc::MgcVector3 faceNormal = toEngine(normal);
    polygons.getVertices(corners);

    const auto emit = [&](const int* vertices, unsigned int count) {
      if (written == shape.numFaces) return;
      setFace(shape.faces[written], vertices, count);
      shape.faceNormals[written] = faceNormal;
      ++written;
    };
    switch (plan.split) {
      case PolygonSplit::kWhole:
        emit(&corners[0], corners.length());
        break;
      case PolygonSplit::kFan:
        for (unsigned int k = 2; k < corners.length(); ++k) {
          const int fan[3] = {corners[0], corners[k - 1], corners[k]};
          emit(fan, 3);
        }
        break;
      case PolygonSplit::kHostTriangles:
        for (std::uint32_t t = 0; t < plan.faces; ++t)
          if (polygons.getTriangle(static_cast<int>(t), trianglePoints, triangle, MSpace::kWorld)) {
            const int corners3[3] = {triangle[0], triangle[1], triangle[2]};
            emit(corners3, 3);
          }
        break;
    }
    polygons.next();
  }
  shape.numFaces = written;
  // A mirroring world matrix turns the faces inside out: the body takes the
  // mirror in its mesh, wound outward again, rather than a negative volume.
  const bool mirrored = mirroredInWorld(shape, objectPoints, points);
  setVertices(shape, points);
  if (mirrored) reverseFaces(shape);
}
