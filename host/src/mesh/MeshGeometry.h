#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MColor.h>
#include <maya/MFloatPoint.h>
#include <maya/MFloatVector.h>
#include <maya/MMatrix.h>
#include <maya/MPoint.h>
#include <maya/MStatus.h>
#include <maya/MVector.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zovhost {

/// A named set of texture coordinates: the UVs and, per face-vertex, the
/// index of the UV it uses (-1 where none is assigned).
struct UVSet {
  std::string name;
  std::vector<float> u;
  std::vector<float> v;
  std::vector<int> ids;
};

/// A named set of colours: the colours and, per face-vertex, the index of
/// the colour it uses (-1 where none is assigned).
struct ColorSet {
  std::string name;
  std::vector<MColor> colors;
  std::vector<int> ids;
  bool clamped = false;
};

/// Per-face integer blind data of one blind data id and attribute: face
/// index to value.
using FaceBlindData = std::map<int, int>;
/// Blind data id and attribute long name.
using BlindDataKey = std::pair<int, std::string>;

/// A polygon mesh as the host keeps it, in object space: single-precision
/// points, polygons as runs of vertex indices (counts and connects), and one
/// normal per face-vertex. Normals that were never set are the polygon's
/// normal; set ones are kept (and stored with the mesh). Face-vertex k of the
/// mesh, counted over the polygons in order, has normal index k.
///
/// A mesh also carries UV sets (always at least one; new points and polygons
/// start with the one empty set "map1"), colour sets, the names of its
/// current UV and colour sets, and integer blind data on its faces. Moving
/// points keeps them.
class MeshGeometry {
 public:
  MeshGeometry() { resetChannels(); }
  /// Checks and takes the arrays; a failure (with the reason) leaves the mesh empty.
  MStatus assign(std::vector<MFloatPoint> points, std::vector<int> counts, std::vector<int> connects,
                 std::string* reason = nullptr);

  int vertexCount() const { return static_cast<int>(m_points.size()); }
  int polygonCount() const { return static_cast<int>(m_counts.size()); }
  int faceVertexCount() const { return static_cast<int>(m_connects.size()); }
  const std::vector<MFloatPoint>& points() const { return m_points; }
  const std::vector<int>& counts() const { return m_counts; }
  const std::vector<int>& connects() const { return m_connects; }
  /// The first face-vertex of a polygon.
  int offset(int polygon) const { return m_offsets[static_cast<size_t>(polygon)]; }
  bool validPolygon(int polygon) const { return polygon >= 0 && polygon < polygonCount(); }
  bool validVertex(int vertex) const { return vertex >= 0 && vertex < vertexCount(); }
  /// The polygon's first face-vertex at `vertex`; -1 when the polygon is not
  /// valid or does not use the vertex.
  int faceVertexAt(int polygon, int vertex) const;

  /// A polygon's corner positions, transformed by matrix.
  std::vector<MPoint> corners(int polygon, const MMatrix& matrix = MMatrix::identity) const;
  /// A polygon's unit normal under matrix (zero for a polygon without area).
  MVector polygonNormal(int polygon, const MMatrix& matrix = MMatrix::identity) const;
  /// The normal of face-vertex index k (object space).
  MFloatVector faceVertexNormal(int faceVertex) const;
  bool normalsSet() const { return !m_normals.empty(); }
  /// Sets the normal of one face-vertex (the others keep theirs).
  void setFaceVertexNormal(int faceVertex, const MFloatVector& normal);
  /// The stored normals, one per face-vertex, empty when none were set.
  const std::vector<MFloatVector>& setNormals() const { return m_normals; }
  /// Takes stored normals (one per face-vertex, or none); false otherwise.
  bool assignNormals(std::vector<MFloatVector> normals);
  void setPoint(int vertex, const MFloatPoint& point);

  /// The host's triangles of a polygon, as mesh vertex indices.
  const std::vector<std::array<int, 3>>& triangles(int polygon) const;
  bool isConvex(int polygon) const;
  MBoundingBox boundingBox() const;

  // --- UV sets -----------------------------------------------------------
  std::vector<UVSet>& uvSets() { return m_uvSets; }
  const std::vector<UVSet>& uvSets() const { return m_uvSets; }
  /// The set with this name; the current set for an empty name; null when none.
  UVSet* findUVSet(const std::string& name);
  const UVSet* findUVSet(const std::string& name) const;
  const std::string& currentUVSet() const { return m_currentUVSet; }
  /// False when no set has the name.
  bool setCurrentUVSet(const std::string& name);
  /// Adds an empty set; a name that is taken gets a number. Answers the name given.
  std::string addUVSet(const std::string& name);

  // --- Colour sets -------------------------------------------------------
  std::vector<ColorSet>& colorSets() { return m_colorSets; }
  const std::vector<ColorSet>& colorSets() const { return m_colorSets; }
  /// The set with this name; the current set for an empty name; null when none.
  ColorSet* findColorSet(const std::string& name);
  const ColorSet* findColorSet(const std::string& name) const;
  /// Empty when the mesh has no colour set.
  const std::string& currentColorSet() const { return m_currentColorSet; }
  bool setCurrentColorSet(const std::string& name);
  std::string addColorSet(const std::string& name, bool clamped);
  /// Takes the named colour set away; the current set, when it was that one,
  /// becomes the first left (none when none is). False when there is no such
  /// set.
  bool removeColorSet(const std::string& name);

  // --- Face blind data ---------------------------------------------------
  const std::map<BlindDataKey, FaceBlindData>& faceBlindData() const { return m_faceBlindData; }
  /// True when some face holds data of the id.
  bool hasFaceBlindData(int id) const;
  bool faceBlindValue(int id, const std::string& attribute, int face, int& value) const;
  /// Sets a face's value (the face must be valid).
  void setFaceBlindValue(int id, const std::string& attribute, int face, int value);

  /// Takes the UV and colour sets of another mesh, with their values and
  /// current sets, but no corner assigned (the corners are new).
  void keepSetsOf(const MeshGeometry& other);

  /// A UV or colour set name: a letter or underscore, then letters, digits
  /// and underscores.
  static bool isValidSetName(const std::string& name);

 private:
  void rebuildOffsets();
  void forgetTriangles();
  /// One empty UV set "map1", no colour sets, no blind data.
  void resetChannels();

  std::vector<MFloatPoint> m_points;
  std::vector<int> m_counts;
  std::vector<int> m_connects;
  std::vector<int> m_offsets;
  std::vector<MFloatVector> m_normals;
  /// Triangles per polygon, worked out on first use: they depend only on
  /// the object-space points (the ear test is unchanged by affine maps).
  mutable std::vector<std::vector<std::array<int, 3>>> m_triangles;
  mutable std::vector<signed char> m_convex;
  std::vector<UVSet> m_uvSets;
  std::string m_currentUVSet;
  std::vector<ColorSet> m_colorSets;
  std::string m_currentColorSet;
  std::map<BlindDataKey, FaceBlindData> m_faceBlindData;
};

/// The matrix that takes object-space normals to the space of matrix: the
/// inverse transpose of its 3x3 part (the identity for a singular matrix).
MMatrix normalMatrix(const MMatrix& matrix);

}  // namespace zovhost
