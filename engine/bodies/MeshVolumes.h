#pragma once

#include <cstdint>

#include "engine/bodies/HullBody.h"
#include "engine/bodies/TriMeshBody.h"
#include "geometry/BoxFits.h"

/// The mesh volume whose faces measure a body's distance: hull and
/// triangle-mesh bodies carry one; null for every other body and for null.
inline const BVmesh* boundingMeshOf(const HardBody* body) {
  if (body == nullptr) return nullptr;
  if (body->getType() == kHullBody) return static_cast<const HullBody*>(body)->getBoundingMesh();
  if (body->getType() == kTriMeshBody) return static_cast<const TriMeshBody*>(body)->getBoundingMesh();
  return nullptr;
}

/// closestMeshFaces of two volumes without the indices: the squared distance
/// of their closest faces, and the midpoint of the closest points.
inline double closestMidpoint(const BVmesh& a, const BVmesh& b, Mgc::MgcVector3& midpoint) {
  std::uint32_t vertexA = 0;
  std::uint32_t vertexB = 0;
  std::uint32_t faceA = 0;
  std::uint32_t faceB = 0;
  Mgc::MgcVector3 pointA;
  Mgc::MgcVector3 pointB;
  const double d2 = closestMeshFaces(a, b, vertexA, vertexB, faceA, faceB, pointA, pointB);
  midpoint = (pointA + pointB) * 0.5;
  return d2;
}
