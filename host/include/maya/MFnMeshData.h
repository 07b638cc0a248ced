#pragma once

#include <maya/MFnData.h>

/// Mesh data: the value object of mesh typed attributes. create makes an
/// empty one, to be filled by MFnMesh::create with it as owner.
class MFnMeshData : public MFnData {
 public:
  MFnMeshData() = default;
  explicit MFnMeshData(const MObject& object, MStatus* status = nullptr);

  MFn::Type type() const override { return MFn::kMeshData; }
  MObject create(MStatus* status = nullptr);
};
