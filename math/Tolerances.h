#pragma once

#include <cstdint>
#include <limits>

// The engine's tolerances and sentinels, written once. Several of them are
// single-precision literals widened to double: they keep the exact widened
// value (1e-6f is 9.999999974752427e-7), because stored scenes and the
// engine's thresholds were tuned with those values.
namespace zov {

/// Length below which Unitize leaves a vector alone: single-precision 1e-6.
constexpr double kUnitizeTolerance = static_cast<double>(1e-6f);

/// Bound for squared lengths, dot products, determinants, signed distances and
/// degenerate edges and triangles.
constexpr double kTolerance = 1e-5;

/// Bounds of a unit length, of parallel directions and of coplanar faces.
constexpr double kUnitLow = 0.99999;
constexpr double kUnitHigh = 1.00001;

/// Ratio |u x v|^2 / (|u|^2 |v|^2) at or below which two edge directions count
/// as collinear for closest-point solves: their Gram determinant then holds
/// no more significant digits than rounding leaves.
constexpr double kCollinearRatio = 1e-12;

/// Cosine below which two normals count as opposed.
constexpr double kOpposedCosine = -0.999;

/// Tolerance of the inertia-tensor inversions: single-precision 1e-14.
constexpr double kInertiaInverseTolerance = static_cast<double>(1e-14f);

/// Relative size below which an off-diagonal entry of the 3x3 singular value
/// iteration counts as zero: single-precision 1e-4.
constexpr double kSvdTolerance = static_cast<double>(1e-4f);

/// The largest single-precision value: the result of a minimum search that
/// finds nothing, and the energy of a static body.
constexpr double kMaxFloat = static_cast<double>(std::numeric_limits<float>::max());

/// "No index": all bits set.
constexpr std::uint32_t kNoIndex = 0xFFFFFFFFu;

}  // namespace zov
