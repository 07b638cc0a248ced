#include <maya/MFnMeshData.h>

#include "mathtypes/StatusOut.h"
#include "mesh/MeshData.h"

using zovhost::setStatus;

MObject MFnMeshData::create(MStatus* status) {
  m_object = MObject(std::make_shared<zovhost::MeshData>());
  setStatus(status, MS::kSuccess);
  return m_object;
}
