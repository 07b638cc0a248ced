#pragma once

#include <set>

/// The kinds of objects or components the user can pick, as a set of
/// selection types. The host numbers its selection types; this host keeps
/// the numbers a mask holds and names none of them.
class MSelectionMask {
 public:
  enum SelectionType : int {};

  MSelectionMask() = default;
  explicit MSelectionMask(SelectionType type) { m_types.insert(type); }

  void addMask(SelectionType type) { m_types.insert(type); }
  bool intersects(SelectionType type) const { return m_types.count(type) != 0; }
  bool intersects(const MSelectionMask& other) const {
    for (int type : other.m_types)
      if (m_types.count(type) != 0) return true;
    return false;
  }
  bool operator==(const MSelectionMask& other) const { return m_types == other.m_types; }
  bool operator!=(const MSelectionMask& other) const { return m_types != other.m_types; }

 private:
  std::set<int> m_types;
};
