#pragma once

/// A mouse cursor a tool shows over the view; the host's cursors are values
/// told apart by their kind.
class MCursor {
 public:
  MCursor() = default;

  bool operator==(const MCursor& other) const { return m_kind == other.m_kind; }
  bool operator!=(const MCursor& other) const { return m_kind != other.m_kind; }

  static const MCursor defaultCursor;
  static const MCursor crossHairCursor;
  static const MCursor doubleCrossHairCursor;
  static const MCursor editCursor;
  static const MCursor handCursor;

 private:
  explicit MCursor(int kind) : m_kind(kind) {}
  int m_kind = 0;
};
