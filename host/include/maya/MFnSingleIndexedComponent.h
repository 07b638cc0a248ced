#pragma once

#include <maya/MFnBase.h>
#include <maya/MIntArray.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for components addressed by one index each (a mesh's
/// faces, edges or vertices): a kind and a list of element indices, in the
/// order added, each once.
class MFnSingleIndexedComponent : public zovhost::FunctionSetOf<MFnBase, MFn::kSingleIndexedComponent> {
 public:
  using FunctionSetOf::FunctionSetOf;

  /// A new, empty component of a kind (kMeshPolygonComponent,
  /// kMeshEdgeComponent or kMeshVertComponent); attached to the set.
  MObject create(MFn::Type componentType, MStatus* status = nullptr);
  /// The kind given at creation.
  MFn::Type componentType(MStatus* status = nullptr) const;
  MStatus addElement(int element);
  MStatus addElements(const MIntArray& elements);
  MStatus getElements(MIntArray& elements) const;
  int elementCount(MStatus* status = nullptr) const;
  int element(int index, MStatus* status = nullptr) const;
};
