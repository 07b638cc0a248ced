#include "engine/bodies/TriMeshBody.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/bodies/ShapeFrames.h"
#include "geometry/BoxFits.h"
#include "geometry/MassProperties.h"
#include "geometry/SharedFaces.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

std::uint32_t cornersOf(const mesh_face& face) { return heldCorners(face); }

// A zeroed calloc block of n records (the mesh frees with free).
template <typename T>
T* zeroed(std::uint32_t n) {
  return static_cast<T*>(std::calloc(n == 0 ? 1 : n, sizeof(T)));
}

/// Writes `source` into `mesh`, whose arrays hold `triangles` faces and the
/// source's vertices: a face of more than three corners as the fan of
/// triangles (corner 0, k, k + 1), each with the face's normal.
void writeTriangulated(ZOVmesh& mesh, const ZOVmesh& source, std::uint32_t triangles) {
  const std::uint32_t nv = source.numVertices;
  std::uint32_t out = 0;
  for (std::uint32_t f = 0; f < source.numFaces; ++f) {
    const mesh_face& face = source.faces[f];
    const MgcVector3 normal = source.faceNormals != nullptr ? source.faceNormals[f] : MgcVector3();
    const std::uint32_t n = cornersOf(face);
    if (n < 4) {
      copyFace(mesh.faces[out], face);
      mesh.faceNormals[out++] = normal;
      continue;
    }
    for (std::uint32_t k = 1; k + 1 < n; ++k) {
      mesh_face& triangle = mesh.faces[out];
      triangle.numVertices = 3;
      triangle.numEdges = 3;
      triangle.vertices[0] = face.vertices[0];
      triangle.vertices[1] = face.vertices[k];
      triangle.vertices[2] = face.vertices[k + 1];
      mesh.faceNormals[out++] = normal;
    }
  }
  mesh.numFaces = triangles;
  mesh.numVertices = nv;
  if (source.vertices != nullptr) {
    std::memcpy(static_cast<void*>(mesh.vertices), source.vertices, nv * sizeof(MgcVector3));
  }
  if (source.hasVertexData != 0 && source.vertexData != nullptr) {
    std::memcpy(static_cast<void*>(mesh.vertexData), source.vertexData, nv * sizeof(MgcVector3));
  }
  mesh.hasVertexData = source.hasVertexData;
}

/// Frees a malloc'd array and puts its replacement in its place.
template <typename T>
void replaceArray(T*& slot, T* replacement) {
  std::free(slot);
  slot = replacement;
}

}  // namespace

std::uint32_t triangulatedFaceCount(const ZOVmesh& mesh) {
  std::uint32_t t = 0;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const std::uint32_t n = cornersOf(mesh.faces[f]);
    t += n < 4 ? 1 : n - 2;
  }
  return t;
}

TriMeshBody::TriMeshBody() : PrivateHardBody(kTriMeshBody) {}

TriMeshBody::~TriMeshBody() {
  boundingMesh.reset();
  triangleTree.reset();
}

void TriMeshBody::setTriangleMesh(std::unique_ptr<ZOVmesh> triangles) {
  mesh.reset();
  mesh = std::move(triangles);
}

void TriMeshBody::init(const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& scale) {
  if (mesh == nullptr) return;
  placeMeshShape(p, R, shapeframes::usableScale(scale));
  if (triangleTree) {
    const bool fitted = triangleTree->isBuilt() && triangleTree->getRoot() != nullptr
                            ? triangleTree->refitTriangleTree(boundingMesh.get())
                            : triangleTree->buildTriangleTree(boundingMesh.get());
    // Without its tree the body still collides through its mesh volume.
    if (!fitted || triangleTree->getRoot() == nullptr) triangleTree.reset();
  }
  activate();
}

void TriMeshBody::computeInertiaTensor() {
  if (mesh == nullptr) return;
  setLocalInertia(computeMassPropertiesInertia(*mesh, getMass(), MgcVector3(), shape.scale), dynInit.angularVelocity);
}

void TriMeshBody::moveCenterOfMass(const MgcVector3& P) {
  const MgcVector3 d = moveFrameTo(P, MeshCentre::kKept);
  if (triangleTree && triangleTree->getRoot() != nullptr) {
    std::vector<BoxTreeNode*> pending{triangleTree->getRoot()};
    while (!pending.empty()) {
      BoxTreeNode* node = pending.back();
      pending.pop_back();
      node->nodeBox.translate(d);
      if (node->firstChild) pending.push_back(node->firstChild.get());
      if (node->secondChild) pending.push_back(node->secondChild.get());
    }
  }
  computeInertiaTensor();
  updateWorldData();
}

bool TriMeshBody::copyTriangulated(const ZOVmesh& source) {
  const std::uint32_t t = triangulatedFaceCount(source);
  const std::uint32_t nv = source.numVertices;
  // Kept face records are written below.
  if (!ownFaceTables(*mesh)) return false;
  bool growFaces = mesh->faces == nullptr || t > mesh->numFaces;
  // Kept records must each have room for a triangle.
  for (std::uint32_t f = 0; !growFaces && f < t; ++f) growFaces = mesh->faces[f].cornerCapacity < 3;
  const bool growVertices = mesh->vertices == nullptr || nv > mesh->numVertices;

  mesh_face* faces = mesh->faces;
  std::uint32_t* corners = mesh->faceCorners;
  MgcVector3* normals = mesh->faceNormals;
  MgcVector3* worldNormals = mesh->worldFaceNormals;
  if (growFaces) {
    faces = zeroed<mesh_face>(t);
    corners = faces != nullptr ? allocateCornerBlock(faces, t) : nullptr;
    normals = zeroed<MgcVector3>(t);
    worldNormals = zeroed<MgcVector3>(t);
  }
  MgcVector3* vertices = mesh->vertices;
  MgcVector3* worldVertices = mesh->worldVertices;
  MgcVector3* vertexData = mesh->vertexData;
  if (growVertices) {
    vertices = zeroed<MgcVector3>(nv);
    worldVertices = zeroed<MgcVector3>(nv);
    vertexData = zeroed<MgcVector3>(nv);
  }
  if (faces == nullptr || corners == nullptr || normals == nullptr || worldNormals == nullptr || vertices == nullptr ||
      worldVertices == nullptr || vertexData == nullptr) {
    if (growFaces) {
      std::free(faces);
      std::free(corners);
      std::free(normals);
      std::free(worldNormals);
    }
    if (growVertices) {
      std::free(vertices);
      std::free(worldVertices);
      std::free(vertexData);
    }
    return false;
  }
  if (growFaces) {
    // Records past the old ones start as the factory's faces do.
    for (std::uint32_t f = 0; f < t; ++f) {
      if (f < mesh->numFaces && mesh->faces != nullptr) {
        copyFace(faces[f], mesh->faces[f]);
      } else {
        faces[f].mark = 1;
      }
    }
    replaceArray(mesh->faces, faces);
    replaceArray(mesh->faceCorners, corners);
    replaceArray(mesh->faceNormals, normals);
    replaceArray(mesh->worldFaceNormals, worldNormals);
  }
  if (growVertices) {
    replaceArray(mesh->vertices, vertices);
    replaceArray(mesh->worldVertices, worldVertices);
    replaceArray(mesh->vertexData, vertexData);
  }

  writeTriangulated(*mesh, source, t);
  return true;
}

void TriMeshBody::modify(ZOVmesh* source) {
  if (source == nullptr) return;
  if (mesh == nullptr) mesh = std::make_unique<ZOVmesh>();
  const std::uint32_t oldFaces = mesh->numFaces;
  const std::uint32_t oldVertices = mesh->numVertices;
  if (source != mesh.get() && !copyTriangulated(*source)) return;

  ZOVbox box;
  fitOrientedBox(box, mesh->numVertices, mesh->vertices);
  shape.localCenter = box.center;
  shape.boxSize = box.extents * 2.0;
  shapeframes::setBoxRotation(shape, box.axes);

  shapeIntoFrame(mesh.get(), dyn.position, dyn.orientation, MgcVector3(1.0, 1.0, 1.0));
  const MgcVector3& E = shape.boxSize;
  const MgcVector3& s = shape.scale;
  shape.localRadius = 0.5 * E.Length();
  shape.radius = 0.5 * std::sqrt((E.x * s.x) * (E.x * s.x) + (E.y * s.y) * (E.y * s.y) + (E.z * s.z) * (E.z * s.z));

  // The new volume binds the mesh only when every face names vertices it has.
  auto volume = std::make_unique<BVmesh>();
  volume->init(mesh.get(), kMeshHullMode);
  boundingMesh = std::move(volume);

  if (triangleTree && triangleTree->getRoot() != nullptr) {
    // A tree over other faces or vertices would name ones the mesh no longer
    // has: it is built again rather than refitted.
    const bool sameTopology = mesh->numFaces == oldFaces && mesh->numVertices == oldVertices;
    const bool fitted = sameTopology ? triangleTree->refitTriangleTree(boundingMesh.get())
                                     : triangleTree->buildTriangleTree(boundingMesh.get());
    if (!fitted) triangleTree.reset();
  }
  computeInertiaTensor();
  updateWorldData();
}

void TriMeshBody::updateShapeWorldData() {
  PrivateHardBody::updateShapeWorldData();
  if (triangleTree && triangleTree->getRoot() != nullptr) {
    triangleTree->transform(dyn.position, dyn.orientation, shape.scale);
  }
}
