#pragma once

namespace MHWRender {

/// Data a draw override prepares for its draw callback. The viewport owns
/// what prepareForDraw returns: it hands the same object back to the next
/// prepareForDraw of the node, unless it is deleted after use (after the
/// draw of the frame), and deletes it when the override returns another
/// one, when the node leaves the scene and when the override's creator is
/// deregistered.
class MUserData {
 public:
  explicit MUserData(bool deleteAfterUse) : m_deleteAfterUse(deleteAfterUse) {}
  virtual ~MUserData() = default;
  MUserData(const MUserData&) = delete;
  MUserData& operator=(const MUserData&) = delete;

  bool deleteAfterUse() const { return m_deleteAfterUse; }
  void setDeleteAfterUse(bool deleteAfterUse) { m_deleteAfterUse = deleteAfterUse; }

 private:
  bool m_deleteAfterUse;
};

}  // namespace MHWRender
