#pragma once

#include <maya/MMatrix.h>
#include <maya/MObject.h>

#include "core/Object.h"
#include "mesh/MeshGeometry.h"

#include <memory>

namespace zovhost {

/// The value object of mesh typed attributes. The geometry is shared between
/// data objects and replaced, never changed, once a node has published it;
/// a mesh published in world space (a mesh node's worldMesh) carries the
/// matrix from its object space to the world, and world-space queries on it
/// apply that matrix.
class MeshData : public Object {
 public:
  MeshData() : geometry(std::make_shared<MeshGeometry>()) {}
  explicit MeshData(std::shared_ptr<const MeshGeometry> geometry, const MMatrix& world = MMatrix())
      : geometry(std::move(geometry)), world(world) {}

  MFn::Type apiType() const override { return MFn::kMeshData; }
  bool hasFn(MFn::Type type) const override {
    return type == MFn::kMeshData || type == MFn::kMesh || type == MFn::kData || type == MFn::kBase;
  }
  std::shared_ptr<Object> copyForHandle() const override { return std::make_shared<MeshData>(geometry, world); }

  std::shared_ptr<const MeshGeometry> geometry;
  MMatrix world;
};

/// The mesh data behind an MObject, or null.
inline std::shared_ptr<MeshData> meshDataOf(const MObject& object) {
  return std::dynamic_pointer_cast<MeshData>(object.object());
}

}  // namespace zovhost
