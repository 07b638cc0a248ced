#include "interpreter/MeshText.h"

#include "commands/ArgumentText.h"
#include "interpreter/HostArgs.h"
#include "mesh/MeshGeometry.h"

#include <limits>

namespace zovhost {

namespace {

// Coordinates written per mesh point and normal.
constexpr unsigned int kMeshComponents = 3;
constexpr const char* kNoSet = "-";

bool defaultUVSets(const MeshGeometry& mesh) {
  if (mesh.uvSets().size() != 1) return false;
  const UVSet& set = mesh.uvSets().front();
  if (set.name != "map1" || mesh.currentUVSet() != "map1" || !set.u.empty()) return false;
  for (int id : set.ids)
    if (id >= 0) return false;
  return true;
}

/// Ids as written: none when nothing is assigned, else one per face-vertex.
void idWords(std::vector<std::string>& words, const std::vector<int>& ids) {
  bool any = false;
  for (int id : ids) any = any || id >= 0;
  words.push_back(std::to_string(any ? ids.size() : 0));
  if (any)
    for (int id : ids) words.push_back(std::to_string(id));
}

/// Reads words in order; every read fails once one has.
class WordReader {
 public:
  explicit WordReader(const std::vector<std::string>& words) : m_words(words) {}
  bool done() const { return m_next >= m_words.size(); }
  bool word(std::string& value) {
    if (done()) return false;
    value = m_words[m_next++];
    return true;
  }
  bool integer(int& value, int minimum) {
    std::string text;
    return word(text) && parseInt(text, value) && value >= minimum;
  }
  bool count(int& value) { return integer(value, 0); }
  bool number(float& value) {
    std::string text;
    double read = 0.0;
    if (!word(text) || !parseDouble(text, read)) return false;
    value = static_cast<float>(read);
    return true;
  }
  /// Ids of a set: 0, or one per face-vertex each -1 or below limit.
  bool ids(std::vector<int>& ids, int faceVertices, int limit) {
    int n = 0;
    if (!count(n) || (n != 0 && n != faceVertices)) return false;
    ids.assign(static_cast<size_t>(faceVertices), -1);
    for (int i = 0; i < n; ++i)
      if (!integer(ids[static_cast<size_t>(i)], -1) || ids[static_cast<size_t>(i)] >= limit) return false;
    return true;
  }

 private:
  const std::vector<std::string>& m_words;
  size_t m_next = 0;
};

bool readUVSets(WordReader& in, MeshGeometry& mesh) {
  int sets = 0;
  std::string current;
  if (!in.integer(sets, 1) || !in.word(current)) return false;
  std::vector<UVSet> read(static_cast<size_t>(sets));
  for (UVSet& set : read) {
    int uvs = 0;
    if (!in.word(set.name) || !MeshGeometry::isValidSetName(set.name) || !in.count(uvs)) return false;
    set.u.resize(static_cast<size_t>(uvs));
    set.v.resize(static_cast<size_t>(uvs));
    for (int i = 0; i < uvs; ++i)
      if (!in.number(set.u[static_cast<size_t>(i)]) || !in.number(set.v[static_cast<size_t>(i)])) return false;
    if (!in.ids(set.ids, mesh.faceVertexCount(), uvs)) return false;
  }
  mesh.uvSets() = std::move(read);
  return mesh.setCurrentUVSet(current);
}

bool readColorSets(WordReader& in, MeshGeometry& mesh) {
  int sets = 0;
  std::string current;
  if (!in.count(sets) || !in.word(current)) return false;
  std::vector<ColorSet> read(static_cast<size_t>(sets));
  for (ColorSet& set : read) {
    int clamped = 0;
    int colors = 0;
    if (!in.word(set.name) || !MeshGeometry::isValidSetName(set.name) || !in.integer(clamped, 0) || clamped > 1 ||
        !in.count(colors))
      return false;
    set.clamped = clamped == 1;
    set.colors.resize(static_cast<size_t>(colors));
    for (MColor& c : set.colors)
      if (!in.number(c.r) || !in.number(c.g) || !in.number(c.b) || !in.number(c.a)) return false;
    if (!in.ids(set.ids, mesh.faceVertexCount(), colors)) return false;
  }
  mesh.colorSets() = std::move(read);
  return current == kNoSet ? mesh.colorSets().empty() : mesh.setCurrentColorSet(current);
}

bool readBlindData(WordReader& in, MeshGeometry& mesh) {
  int entries = 0;
  if (!in.count(entries)) return false;
  for (int e = 0; e < entries; ++e) {
    int id = 0;
    int faces = 0;
    std::string attribute;
    if (!in.integer(id, 0) || !in.word(attribute) || !in.count(faces)) return false;
    for (int f = 0; f < faces; ++f) {
      int face = 0;
      int value = 0;
      if (!in.count(face) || !mesh.validPolygon(face) || !in.integer(value, std::numeric_limits<int>::min()))
        return false;
      mesh.setFaceBlindValue(id, attribute, face, value);
    }
  }
  return true;
}

}  // namespace

std::vector<std::string> meshWords(const MeshGeometry& mesh) {
  std::vector<std::string> words;
  const auto number = [&words](double value) { words.push_back(formatNumber(value)); };
  words.push_back(std::to_string(mesh.vertexCount()));
  for (const MFloatPoint& point : mesh.points())
    for (unsigned int i = 0; i < kMeshComponents; ++i) number(point[i]);
  words.push_back(std::to_string(mesh.polygonCount()));
  for (int p = 0; p < mesh.polygonCount(); ++p) {
    const int count = mesh.counts()[static_cast<size_t>(p)];
    words.push_back(std::to_string(count));
    for (int k = 0; k < count; ++k)
      words.push_back(std::to_string(mesh.connects()[static_cast<size_t>(mesh.offset(p) + k)]));
  }
  words.push_back(std::to_string(mesh.setNormals().size()));
  for (const MFloatVector& normal : mesh.setNormals())
    for (unsigned int i = 0; i < kMeshComponents; ++i) number(normal[i]);
  if (!defaultUVSets(mesh)) {
    words.insert(words.end(), {"uvSets", std::to_string(mesh.uvSets().size()), mesh.currentUVSet()});
    for (const UVSet& set : mesh.uvSets()) {
      words.insert(words.end(), {set.name, std::to_string(set.u.size())});
      for (size_t i = 0; i < set.u.size(); ++i) {
        number(set.u[i]);
        number(set.v[i]);
      }
      idWords(words, set.ids);
    }
  }
  if (!mesh.colorSets().empty()) {
    const std::string current = mesh.currentColorSet().empty() ? kNoSet : mesh.currentColorSet();
    words.insert(words.end(), {"colorSets", std::to_string(mesh.colorSets().size()), current});
    for (const ColorSet& set : mesh.colorSets()) {
      words.insert(words.end(), {set.name, set.clamped ? "1" : "0", std::to_string(set.colors.size())});
      for (const MColor& c : set.colors)
        for (float channel : {c.r, c.g, c.b, c.a}) number(channel);
      idWords(words, set.ids);
    }
  }
  if (!mesh.faceBlindData().empty()) {
    words.insert(words.end(), {"blindData", std::to_string(mesh.faceBlindData().size())});
    for (const auto& [key, values] : mesh.faceBlindData()) {
      words.insert(words.end(), {std::to_string(key.first), key.second, std::to_string(values.size())});
      for (const auto& [face, value] : values) words.insert(words.end(), {std::to_string(face), std::to_string(value)});
    }
  }
  return words;
}

bool meshFromWords(const std::vector<std::string>& words, MeshGeometry& mesh) {
  WordReader in(words);
  int vertices = 0;
  if (!in.count(vertices)) return false;
  std::vector<MFloatPoint> points(static_cast<size_t>(vertices));
  for (MFloatPoint& point : points)
    if (!in.number(point.x) || !in.number(point.y) || !in.number(point.z)) return false;
  int polygons = 0;
  if (!in.count(polygons)) return false;
  std::vector<int> counts;
  std::vector<int> connects;
  for (int p = 0; p < polygons; ++p) {
    int corners = 0;
    if (!in.count(corners)) return false;
    counts.push_back(corners);
    for (int k = 0; k < corners; ++k) {
      int vertex = 0;
      if (!in.count(vertex)) return false;
      connects.push_back(vertex);
    }
  }
  int normalCount = 0;
  if (!in.count(normalCount)) return false;
  std::vector<MFloatVector> normals(static_cast<size_t>(normalCount));
  for (MFloatVector& normal : normals)
    if (!in.number(normal.x) || !in.number(normal.y) || !in.number(normal.z)) return false;
  if (!mesh.assign(std::move(points), std::move(counts), std::move(connects)) ||
      !mesh.assignNormals(std::move(normals)))
    return false;
  while (!in.done()) {
    std::string section;
    in.word(section);
    const bool read = section == "uvSets"      ? readUVSets(in, mesh)
                      : section == "colorSets" ? readColorSets(in, mesh)
                      : section == "blindData" ? readBlindData(in, mesh)
                                               : false;
    if (!read) return false;
  }
  return true;
}

}  // namespace zovhost
