#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MMatrix.h>
#include <maya/MPointArray.h>
#include <maya/MString.h>

#include <cstdint>

/// The internal shatter style of a command without `-shatterStyle`: the
/// uniform pattern.
constexpr std::uint16_t kStyleUniform = 0xFFFF;
/// Internal styles with a meaning of their own to the shatter.
constexpr std::uint16_t kStyleImpact = 1;
constexpr std::uint16_t kStyleRadial = 2;
constexpr std::uint16_t kStyleNonconforming = 3;
constexpr std::uint16_t kStylePath = 4;
constexpr std::uint16_t kStyleVertexColours = 5;

/// The cut material named when a record names none (its shards get none).
constexpr const char* kNoCutMaterial = "zovCutMat0";

/// Voronoi node schemes: a nonconforming shatter re-cuts only what its box
/// meets at each level.
constexpr short kVoroConform = 0;
constexpr short kVoroNonconform = 1;

/// What one shatter of one object is made from: the seeds (list A, and
/// list B of an earlier level), the object-to-world matrix they are given
/// in, the world box of the shattered region and the pattern's settings.
/// The preview locator and the voronoi node carry one each.
struct ShatterSettings {
  /// Seeds of this level, in the space of `matrix`.
  MPointArray pointsA;
  /// Seeds of the earlier levels, in the space of `matrix`.
  MPointArray pointsB;
  /// Object to world.
  MMatrix matrix;
  /// The shattered region, in world space.
  MBoundingBox box;
  MString cutMaterialName;
  /// Internal style (the command's `-shatterStyle` - 1).
  std::uint16_t style = kStyleUniform;
  std::uint16_t radialAxis = 0;
  std::uint32_t ringCount = 0;
  double noise = 0.0;
};
