#pragma once

#include <cstdint>

// The connectivity records that a mesh bounding volume builds over its
// `ZOVmesh`: an edge table and a vertex table. Plain data; the bounding volume
// that builds the tables owns their arrays.

/// One edge of a `ZOVmesh`.
struct connect_edge {
  /// End vertices, in the order of the face that first met the edge.
  std::uint32_t vertexA;
  std::uint32_t vertexB;
  /// Texture-coordinate index of each end on each adjacent face, matching the
  /// edge's own vertex order (filled only when the mesh has UVs).
  std::uint32_t uvAonFaceA;
  std::uint32_t uvBonFaceA;
  std::uint32_t uvAonFaceB;
  std::uint32_t uvBonFaceB;
  /// The two faces that share the edge; equal on a border edge.
  std::uint32_t faceA;
  std::uint32_t faceB;
};

/// One vertex of a `ZOVmesh`: the faces and edges around it.
struct connect_vertex {
  std::uint32_t numFaces;
  /// Face indices (numFaces).
  std::uint32_t* faces;
  std::uint32_t numEdges;
  /// `connect_edge` indices (numEdges).
  std::uint32_t* edges;
};
