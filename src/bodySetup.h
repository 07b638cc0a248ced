#pragma once

#include <maya/MString.h>
#include <maya/MVector.h>

#include <cstdint>

#include "engine/bodies/HardBody.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

// What the module's body nodes share when they make their engine bodies:
// the unset values of `mass` and `massCenter`, the mass of a shape's mesh,
// the body's name and its serial number.

/// The single-precision epsilon: a `massCenter` whose every component is at
/// or below it counts as unset, and so does a `mass` set to it.
constexpr double kUnsetCentre = static_cast<double>(1.1920929e-07f);
/// Mass per cubic centimetre when bodies are fitted to the host's scale.
constexpr double kUnitMassScale = 0.015;

/// Whether each component of a `massCenter` value is at or below kUnsetCentre.
bool isCentreUnset(const double centre[3]);

/// The mass of a body made from the mesh: its volume, times kUnitMassScale
/// when bodies are fitted to the host's scale, and its centre. A negative
/// volume counts as positive, with the warning `negativePrefix` + the node's
/// name + " mass negative"; a mesh without volume gets mass 1 at its mean
/// vertex, with a warning when `warnEmpty`. False, with a warning, when the
/// volume is not a finite number.
bool bodyMassOf(const ZOVmesh& mesh, bool fittedToHostScale, const MString& nodeName, bool warnEmpty,
                const char* negativePrefix, double& mass, Mgc::MgcVector3& centre);

/// Gives the body its node's name, cut to the engine's name length.
void nameBody(HardBody& body, const MString& nodeName);

/// Whether the value is a finite number once narrowed to single precision,
/// as the engine takes masses, velocities and gravity.
bool finiteAsFloat(double value);
bool finiteAsFloat(const MVector& value);
/// A number as messages write it: "-5", "1e+300", "inf".
MString numberText(double value);
/// A vector as messages write it: "(0, -inf, 0)".
MString vectorText(const MVector& value);

/// Serial numbers of one kind of body node: handed out two apart from a
/// first value, each body taking the odd one after its pair's start.
class BodySerials {
 public:
  explicit constexpr BodySerials(std::uint32_t first) : next(first) {}
  /// The serial of the next body made.
  std::uint32_t take() {
    const std::uint32_t serial = next;
    next = serial + 2;
    return serial + 1;
  }

 private:
  std::uint32_t next;
};
