#pragma once

#include <cstdint>

/// Who owns the record a bounding volume wraps. Stored as a signed 32-bit
/// value in every volume; -1, 0 and 1 are the only values.
enum VolumeOwnership : std::int32_t {
  /// No record bound yet.
  kNoRecord = -1,
  /// The record belongs to the caller, who keeps it alive while the volume uses it.
  kLentRecord = 0,
  /// The volume allocated the record and frees it with itself.
  kOwnedRecord = 1,
};
