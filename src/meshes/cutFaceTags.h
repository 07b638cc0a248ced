#pragma once

#include <cstdint>

class MFnMesh;
class MIntArray;

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

/// The first face in the list whose cut-face value is 0 (a face without the
/// tag, or whose tag cannot be read, counts as 0), with the vertex's position
/// in that face's vertex list (-1 when the face does not use it); -1, with
/// position untouched, when there is none.
int findUncutFaceOfVertex(int vertex, const MIntArray& faces, const MFnMesh& mesh, int& position);
