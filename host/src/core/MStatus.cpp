#include <maya/MStatus.h>

#include <iostream>

MString MStatus::errorString() const {
  switch (m_code) {
    case MS::kSuccess:
      return "Success";
    case MS::kFailure:
      return "Failure";
    case MS::kInsufficientMemory:
      return "Insufficient memory";
    case MS::kInvalidParameter:
      return "Invalid parameter";
    case MS::kLicenseFailure:
      return "License failure";
    case MS::kUnknownParameter:
      return "Unknown parameter";
    case MS::kNotImplemented:
      return "Not implemented";
    case MS::kNotFound:
      return "Not found";
    case MS::kEndOfFile:
      return "End of file";
  }
  return "Unexpected status";
}

void MStatus::perror(const char* message) const {
  std::cerr << (message ? message : "") << ": " << errorString() << std::endl;
}

void MStatus::perror(const MString& message) const { perror(message.asChar()); }
