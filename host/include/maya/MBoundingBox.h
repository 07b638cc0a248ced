#pragma once

#include <maya/MMatrix.h>
#include <maya/MPoint.h>

/// An axis-aligned box. A default box is empty: it contains nothing and the
/// first point it is expanded by becomes both corners.
class MBoundingBox {
 public:
  MBoundingBox() = default;
  /// The box spanned by two corners (in any order).
  MBoundingBox(const MPoint& corner1, const MPoint& corner2);

  bool isEmpty() const { return m_empty; }
  MPoint min() const { return m_min; }
  MPoint max() const { return m_max; }
  MPoint center() const;
  double width() const;
  double height() const;
  double depth() const;

  void clear();
  void expand(const MPoint& point);
  void expand(const MBoundingBox& box);
  bool contains(const MPoint& point) const;
  /// True when the boxes overlap, touching within tolerance counting as overlap.
  bool intersects(const MBoundingBox& box, double tolerance = 0.0) const;
  /// The box of the eight transformed corners.
  MBoundingBox& transformUsing(const MMatrix& matrix);

 private:
  MPoint m_min;
  MPoint m_max;
  bool m_empty = true;
};
