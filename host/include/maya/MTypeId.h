#pragma once

/// The numeric identity of a node type, unique among registered types.
class MTypeId {
 public:
  MTypeId() = default;
  explicit MTypeId(unsigned int id) : m_id(id) {}
  /// A 24-bit vendor prefix and an 8-bit type number.
  MTypeId(unsigned int prefix, unsigned int id) : m_id((prefix << 8) | (id & 0xFFu)) {}

  unsigned int id() const { return m_id; }
  bool operator==(const MTypeId& other) const { return m_id == other.m_id; }
  bool operator!=(const MTypeId& other) const { return m_id != other.m_id; }

 private:
  unsigned int m_id = 0;
};
