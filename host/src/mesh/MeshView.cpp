#include "mesh/MeshView.h"

#include "dg/NodeImpl.h"
#include "mesh/MeshData.h"
#include "mesh/MeshNode.h"

namespace zovhost {

bool MeshView::matrixFor(MSpace::Space space, MMatrix& matrix) const {
  if (space != MSpace::kWorld) {
    matrix = MMatrix();
    return true;
  }
  matrix = world;
  return worldKnown;
}

MeshView meshViewOf(const MObject& object, const MDagPath& path) {
  MeshView view;
  if (const auto data = meshDataOf(object)) {
    view.geometry = data->geometry ? data->geometry : std::make_shared<MeshGeometry>();
    view.world = data->world;
    view.worldKnown = true;
    return view;
  }
  const auto node = nodeOf(object);
  if (!node || !node->hasFn(MFn::kMesh)) return view;
  view.geometry = MeshNode::geometry(node);
  if (path.isValid() && path.last() == node) {
    view.world = path.inclusiveMatrix();
    view.worldKnown = true;
  }
  return view;
}

}  // namespace zovhost
