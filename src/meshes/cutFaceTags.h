#pragma once

#include <cstdint>

/// The cut-face tag: integer blind data on the faces of host meshes, written
/// on the faces the shatter tools cut and read back when a mesh is converted
/// for the engine again. Value 0 is a plain face, 1 a cut face, 2 a cut face
/// of the second kind.
constexpr int kCutFaceBlindDataId = 70111001;
constexpr const char* kCutFaceAttribute = "zovCutFace";
constexpr const char* kCutFaceShortName = "zcut";

/// Engine face flag bits (`DFface::faceFlags`) of the two kinds of cut face.
constexpr std::uint16_t kCutFaceFlag = 0x1;
constexpr std::uint16_t kSecondCutFaceFlag = 0x8;
