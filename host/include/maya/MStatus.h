#pragma once

#include <maya/MString.h>

/// Status codes of host API calls.
namespace MS {
enum MStatusCode {
  kSuccess = 0,
  kFailure = 1,
  kInsufficientMemory = 2,
  kInvalidParameter = 3,
  kLicenseFailure = 4,
  kUnknownParameter = 5,  ///< a compute asked for a plug it does not handle
  kNotImplemented = 6,
  kNotFound = 7,
  kEndOfFile = 8
};
}  // namespace MS

/// The result of a host API call: a status code, true when it is kSuccess.
class MStatus {
 public:
  typedef MS::MStatusCode MStatusCode;
  static constexpr MStatusCode kSuccess = MS::kSuccess;
  static constexpr MStatusCode kFailure = MS::kFailure;
  static constexpr MStatusCode kInsufficientMemory = MS::kInsufficientMemory;
  static constexpr MStatusCode kInvalidParameter = MS::kInvalidParameter;
  static constexpr MStatusCode kLicenseFailure = MS::kLicenseFailure;
  static constexpr MStatusCode kUnknownParameter = MS::kUnknownParameter;
  static constexpr MStatusCode kNotImplemented = MS::kNotImplemented;
  static constexpr MStatusCode kNotFound = MS::kNotFound;
  static constexpr MStatusCode kEndOfFile = MS::kEndOfFile;

  MStatus() = default;
  MStatus(MStatusCode code) : m_code(code) {}

  bool operator==(const MStatus& other) const { return m_code == other.m_code; }
  bool operator==(MStatusCode code) const { return m_code == code; }
  bool operator!=(const MStatus& other) const { return m_code != other.m_code; }
  bool operator!=(MStatusCode code) const { return m_code != code; }
  /// True on success.
  explicit operator bool() const { return m_code == MS::kSuccess; }

  /// True when the status is not success.
  bool error() const { return m_code != MS::kSuccess; }
  void clear() { m_code = MS::kSuccess; }
  MStatusCode statusCode() const { return m_code; }
  /// A readable text for the code.
  MString errorString() const;
  /// Writes "message: errorString()" to the standard error stream.
  void perror(const char* message) const;
  void perror(const MString& message) const;

 private:
  MStatusCode m_code = MS::kSuccess;
};
