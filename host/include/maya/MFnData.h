#pragma once

#include <maya/MFnBase.h>

/// Base of the data function sets; names the kinds of data a typed attribute
/// can hold.
class MFnData : public MFnBase {
 public:
  enum Type {
    kInvalid,
    kNumeric,
    kPlugin,
    kPluginGeometry,
    kString,
    kMatrix,
    kStringArray,
    kDoubleArray,
    kFloatArray,
    kIntArray,
    kPointArray,
    kVectorArray,
    kComponentList,
    kMesh,
    kLattice,
    kNurbsCurve,
    kNurbsSurface,
    kSphere,
    kDynArrayAttrs,
    kDynSweptGeometry,
    kSubdSurface,
    kNObject,
    kNId,
    kAny,
    kLast
  };

  MFn::Type type() const override { return MFn::kData; }
};
