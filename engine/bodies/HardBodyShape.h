#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"

/// Longest name a body keeps, the terminating zero included: setName cuts
/// longer names to kBodyNameLength - 1 characters.
constexpr int kBodyNameLength = 256;

/// A body's description in its own frame. Copies are member-wise: a copy
/// shares the name's text, which is never changed in place.
struct HardBodyShape {
  /// Body id: -1 until the world gives one; set and read by the host layer.
  std::int32_t id = -1;
  /// Set and compared by the host layer.
  std::int32_t tag = 0;
  /// Zero-terminated name, empty until setName; the text lives in
  /// `nameText`, sized to the name, so that the many unnamed and shortly
  /// named bodies do not each keep room for the longest name.
  const char* name = "";
  /// Geometric centre relative to the reference point, before scaling.
  Mgc::MgcVector3 localCenter;
  /// Rotation of the local box in the body frame.
  Mgc::MgcMatrix3 boxRotation{1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
  /// The same rotation as a quaternion.
  Mgc::Quaternion boxQuat{1.0, 0.0, 0.0, 0.0};
  /// Full edge lengths of the local box, before scaling.
  Mgc::MgcVector3 boxSize;
  /// Bounding radius before scaling.
  double localRadius = 0.0;
  /// Bounding-sphere radius: localRadius times the largest scale component.
  double radius = 0.0;
  /// World centre, written by computeWCenter.
  Mgc::MgcVector3 worldCenter;
  /// Per-axis scale of the body.
  Mgc::MgcVector3 scale{1.0, 1.0, 1.0};
  /// The text `name` points into; null for the empty name.
  std::shared_ptr<const std::string> nameText;

  /// Names the body `text` (null for none), cut to kBodyNameLength - 1
  /// characters. When memory runs out the name stays as it was.
  void setName(const char* text) {
    if (text == nullptr || *text == '\0') {
      nameText.reset();
      name = "";
      return;
    }
    std::size_t length = 0;
    while (length < static_cast<std::size_t>(kBodyNameLength - 1) && text[length] != '\0') ++length;
    try {
      nameText = std::make_shared<const std::string>(text, length);
    } catch (const std::bad_alloc&) {
      return;
    }
    name = nameText->c_str();
  }
};
