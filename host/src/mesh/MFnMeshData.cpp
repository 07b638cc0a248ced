#include <maya/MFnMeshData.h>

#include "mesh/MeshData.h"

MFnMeshData::MFnMeshData(const MObject& object, MStatus* status) {
  const MStatus result = setObject(object);
  if (status) *status = result;
}

MObject MFnMeshData::create(MStatus* status) {
  m_object = MObject(std::make_shared<zovhost::MeshData>());
  if (status) *status = MS::kSuccess;
  return m_object;
}
