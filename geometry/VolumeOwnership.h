#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

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

/// The record a bounding volume wraps, and who owns it: a lent record stays
/// the caller's, an owned one is freed with the volume. Not copyable: a copy
/// would share an owned record and free it twice.
template <typename Record>
class VolumeRecord {
 public:
  VolumeRecord() = default;
  /// Wraps the caller's record (kLentRecord); null leaves it empty.
  explicit VolumeRecord(Record* lent) : ownership_(lent != nullptr ? kLentRecord : kNoRecord), record_(lent) {}
  VolumeRecord(const VolumeRecord&) = delete;
  VolumeRecord& operator=(const VolumeRecord&) = delete;
  ~VolumeRecord() { release(); }

  /// Replaces the record by a new zeroed one that it owns (an owned old
  /// record is freed, a lent one dropped). False when allocation fails; there
  /// is no record then.
  bool create() {
    release();
    record_ = new (std::nothrow) Record{};
    if (record_ == nullptr) return false;
    ownership_ = kOwnedRecord;
    return true;
  }
  /// Copies `source` into the record, creating an owned one first when there
  /// is none. False only when that allocation fails.
  bool assign(const Record& source) {
    if (record_ == nullptr && !create()) return false;
    *record_ = source;
    return true;
  }
  /// Frees an owned record, drops a lent one; empty afterwards.
  void release() {
    if (ownership_ == kOwnedRecord) delete record_;
    record_ = nullptr;
    ownership_ = kNoRecord;
  }
  /// The record, null when there is none.
  Record* get() const { return record_; }
  Record* operator->() const { return record_; }
  Record& operator*() const { return *record_; }
  bool operator==(std::nullptr_t) const { return record_ == nullptr; }
  bool operator!=(std::nullptr_t) const { return record_ != nullptr; }
  /// kNoRecord, kLentRecord or kOwnedRecord.
  std::int32_t ownership() const { return ownership_; }

 private:
  std::int32_t ownership_ = kNoRecord;
  Record* record_ = nullptr;
};
