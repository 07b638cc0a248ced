// The data a mesh carries besides its shape: UV sets, colour sets and face
// blind data.
#include <algorithm>
#include <cctype>

#include "mesh/MeshGeometry.h"

namespace zovhost {

namespace {

constexpr const char* kDefaultUVSet = "map1";

template <typename Set>
Set* findSet(std::vector<Set>& sets, const std::string& name) {
  for (Set& set : sets)
    if (set.name == name) return &set;
  return nullptr;
}

/// name, or name with the smallest number after it that no set has.
template <typename Set>
std::string freeName(const std::vector<Set>& sets, const std::string& name) {
  const auto taken = [&sets](const std::string& candidate) {
    for (const Set& set : sets)
      if (set.name == candidate) return true;
    return false;
  };
  if (!taken(name)) return name;
  std::string stem = name;
  while (!stem.empty() && std::isdigit(static_cast<unsigned char>(stem.back()))) stem.pop_back();
  for (int n = 1;; ++n)
    if (!taken(stem + std::to_string(n))) return stem + std::to_string(n);
}

/// Makes `name` the current set; false, changing nothing, when no set has it.
template <typename Set>
bool makeCurrent(std::vector<Set>& sets, std::string& current, const std::string& name) {
  if (!findSet(sets, name)) return false;
  current = name;
  return true;
}

/// A new set with a free name near `name` and no face-vertex assigned,
/// appended to the sets.
template <typename Set>
Set& appendSet(std::vector<Set>& sets, const std::string& name, size_t faceVertices) {
  Set set;
  set.name = freeName(sets, name);
  set.ids.assign(faceVertices, -1);
  sets.push_back(set);
  return sets.back();
}

}  // namespace

void MeshGeometry::resetChannels() {
  UVSet map;
  map.name = kDefaultUVSet;
  map.ids.assign(m_connects.size(), -1);
  m_uvSets.assign(1, map);
  m_currentUVSet = kDefaultUVSet;
  m_colorSets.clear();
  m_currentColorSet.clear();
  m_faceBlindData.clear();
}

void MeshGeometry::keepSetsOf(const MeshGeometry& other) {
  m_uvSets = other.m_uvSets;
  m_colorSets = other.m_colorSets;
  for (UVSet& set : m_uvSets) set.ids.assign(m_connects.size(), -1);
  for (ColorSet& set : m_colorSets) set.ids.assign(m_connects.size(), -1);
  m_currentUVSet = other.m_currentUVSet;
  m_currentColorSet = other.m_currentColorSet;
}

bool MeshGeometry::isValidSetName(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

UVSet* MeshGeometry::findUVSet(const std::string& name) {
  return findSet(m_uvSets, name.empty() ? m_currentUVSet : name);
}

const UVSet* MeshGeometry::findUVSet(const std::string& name) const {
  return const_cast<MeshGeometry*>(this)->findUVSet(name);
}

bool MeshGeometry::setCurrentUVSet(const std::string& name) { return makeCurrent(m_uvSets, m_currentUVSet, name); }

std::string MeshGeometry::addUVSet(const std::string& name) {
  return appendSet(m_uvSets, name, m_connects.size()).name;
}

ColorSet* MeshGeometry::findColorSet(const std::string& name) {
  return findSet(m_colorSets, name.empty() ? m_currentColorSet : name);
}

const ColorSet* MeshGeometry::findColorSet(const std::string& name) const {
  return const_cast<MeshGeometry*>(this)->findColorSet(name);
}

bool MeshGeometry::setCurrentColorSet(const std::string& name) {
  return makeCurrent(m_colorSets, m_currentColorSet, name);
}

std::string MeshGeometry::addColorSet(const std::string& name, bool clamped) {
  ColorSet& set = appendSet(m_colorSets, name, m_connects.size());
  set.clamped = clamped;
  return set.name;
}

bool MeshGeometry::removeColorSet(const std::string& name) {
  const auto found =
      std::find_if(m_colorSets.begin(), m_colorSets.end(), [&name](const ColorSet& set) { return set.name == name; });
  if (found == m_colorSets.end()) return false;
  m_colorSets.erase(found);
  if (m_currentColorSet == name) m_currentColorSet = m_colorSets.empty() ? std::string() : m_colorSets.front().name;
  return true;
}

bool MeshGeometry::hasFaceBlindData(int id) const {
  for (const auto& [key, values] : m_faceBlindData)
    if (key.first == id && !values.empty()) return true;
  return false;
}

bool MeshGeometry::faceBlindValue(int id, const std::string& attribute, int face, int& value) const {
  const auto data = m_faceBlindData.find({id, attribute});
  if (data == m_faceBlindData.end()) return false;
  const auto found = data->second.find(face);
  if (found == data->second.end()) return false;
  value = found->second;
  return true;
}

void MeshGeometry::setFaceBlindValue(int id, const std::string& attribute, int face, int value) {
  m_faceBlindData[{id, attribute}][face] = value;
}

}  // namespace zovhost
