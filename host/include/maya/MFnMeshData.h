#pragma once

#include <maya/MFnData.h>
#include <zovhost/FunctionSetOf.h>

/// Mesh data: the value object of mesh typed attributes. create makes an
/// empty one, to be filled by MFnMesh::create with it as owner.
class MFnMeshData : public zovhost::FunctionSetOf<MFnData, MFn::kMeshData> {
 public:
  using FunctionSetOf::FunctionSetOf;

  MObject create(MStatus* status = nullptr);
};
