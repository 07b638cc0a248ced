#include <maya/MBoundingBox.h>

#include <algorithm>

MBoundingBox::MBoundingBox(const MPoint& corner1, const MPoint& corner2) {
  expand(corner1);
  expand(corner2);
}

MPoint MBoundingBox::center() const {
  if (m_empty) return MPoint::origin;
  return MPoint(0.5 * (m_min.x + m_max.x), 0.5 * (m_min.y + m_max.y), 0.5 * (m_min.z + m_max.z));
}

double MBoundingBox::width() const { return m_empty ? 0.0 : m_max.x - m_min.x; }
double MBoundingBox::height() const { return m_empty ? 0.0 : m_max.y - m_min.y; }
double MBoundingBox::depth() const { return m_empty ? 0.0 : m_max.z - m_min.z; }

void MBoundingBox::clear() {
  m_min = MPoint();
  m_max = MPoint();
  m_empty = true;
}

void MBoundingBox::expand(const MPoint& point) {
  MPoint p = point;
  p.cartesianize();
  if (m_empty) {
    m_min = m_max = MPoint(p.x, p.y, p.z);
    m_empty = false;
    return;
  }
  for (unsigned int i = 0; i < 3; ++i) {
    m_min[i] = std::min(m_min[i], p[i]);
    m_max[i] = std::max(m_max[i], p[i]);
  }
}

void MBoundingBox::expand(const MBoundingBox& box) {
  if (box.m_empty) return;
  expand(box.m_min);
  expand(box.m_max);
}

bool MBoundingBox::contains(const MPoint& point) const {
  if (m_empty) return false;
  MPoint p = point;
  p.cartesianize();
  for (unsigned int i = 0; i < 3; ++i)
    if (p[i] < m_min[i] || p[i] > m_max[i]) return false;
  return true;
}

bool MBoundingBox::intersects(const MBoundingBox& box, double tolerance) const {
  if (m_empty || box.m_empty) return false;
  for (unsigned int i = 0; i < 3; ++i)
    if (m_min[i] > box.m_max[i] + tolerance || box.m_min[i] > m_max[i] + tolerance) return false;
  return true;
}

MBoundingBox& MBoundingBox::transformUsing(const MMatrix& matrix) {
  if (m_empty) return *this;
  const MPoint low = m_min;
  const MPoint high = m_max;
  clear();
  for (unsigned int corner = 0; corner < 8; ++corner) {
    const MPoint p((corner & 1) ? high.x : low.x, (corner & 2) ? high.y : low.y, (corner & 4) ? high.z : low.z);
    expand(p * matrix);
  }
  return *this;
}
