#include <zovhost/MeshWalk.h>

#include "mathtypes/StatusOut.h"
#include "mesh/MeshView.h"

namespace zovhost {

MStatus MeshWalk::takeShape(const MObject& component) {
  if (!component.isNull()) return MS::kInvalidParameter;
  if (m_path.isValid() && !m_path.hasFn(MFn::kMesh)) m_path.extendToShape();
  m_object = m_path.node();
  return MS::kSuccess;
}

MStatus MeshWalk::load() {
  const MeshView view = meshViewOf(m_object, m_path);
  m_geometry = view.geometry;
  m_world = view.world;
  m_worldKnown = view.worldKnown;
  m_index = 0;
  return view.valid() ? MS::kSuccess : MS::kInvalidParameter;
}

bool MeshWalk::walkedPast(bool atItem, MStatus* status) const {
  setStatus(status, m_geometry ? MS::kSuccess : MS::kFailure);
  return !atItem;
}

MStatus MeshWalk::stepOn(bool atItem) {
  if (!atItem) return MS::kFailure;
  ++m_index;
  return MS::kSuccess;
}

int MeshWalk::counted(int count, MStatus* status) const {
  setStatus(status, m_geometry ? MS::kSuccess : MS::kFailure);
  return m_geometry ? count : 0;
}

MStatus MeshWalk::jumpTo(int index, bool namesItem, int& prevIndex) {
  if (!m_geometry || !namesItem) return MS::kInvalidParameter;
  prevIndex = m_index;
  m_index = index;
  return MS::kSuccess;
}

}  // namespace zovhost
