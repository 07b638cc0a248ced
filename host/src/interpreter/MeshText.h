#pragma once

#include <string>
#include <vector>

namespace zovhost {

class MeshGeometry;

/// A mesh as the words of a setAttr -type "mesh" line: the point count and
/// the points (x y z, centimetres), the polygon count and each polygon's
/// corner count and vertex indices, then the count of set face-vertex
/// normals (0, or one per face-vertex) and those normals. Sections follow
/// for what differs from a new mesh:
///   uvSets <sets> <current> then per set: <name> <uv count> u v ...
///     <id count (0 or one per face-vertex)> ids ...
///   colorSets <sets> <current or -> then per set: <name> <clamped 0|1>
///     <colour count> r g b a ... <id count> ids ...
///   blindData <entries> then per entry: <id> <attribute> <faces> face value ...
std::vector<std::string> meshWords(const MeshGeometry& mesh);
/// Reads such words; false when they do not make a valid mesh.
bool meshFromWords(const std::vector<std::string>& words, MeshGeometry& mesh);

}  // namespace zovhost
