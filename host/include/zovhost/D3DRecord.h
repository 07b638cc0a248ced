#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// What the stand-in's Direct3D 11 device recorded: every call made on the
/// device, its immediate context, the objects and the shader compiler, and at
/// each draw the state it drew with.
namespace zovhost::d3d {

enum class ObjectKind { Device, Context, Buffer, VertexShader, PixelShader, InputLayout, Blob };

/// An object the device made, whether or not it still exists.
struct ObjectInfo {
  /// Unique for the process; never reused. 0 stands for null.
  unsigned id = 0;
  ObjectKind kind = ObjectKind::Buffer;
  /// The count AddRef and Release report; an object other than the device
  /// and its context is gone at 0. The device holds one reference on itself
  /// and one on its context.
  unsigned references = 0;
};

/// One call with its arguments, in order: objects as ids (0 for null),
/// numbers as numbers (descriptions flattened field by field), names as
/// text and the bytes the call passed or, for Unmap, the bytes written
/// while mapped. The object a call creates comes last among the objects.
struct Call {
  std::string function;
  /// The object called (0 for D3DCompile).
  unsigned object = 0;
  std::vector<unsigned> objects;
  std::vector<int64_t> values;
  std::vector<std::string> texts;
  std::vector<uint8_t> bytes;
  /// The call's result (S_OK or an error), 0 for calls without one.
  int32_t result = 0;
};

struct VertexBinding {
  unsigned buffer = 0;
  unsigned stride = 0;
  unsigned offset = 0;
  /// The buffer's contents at the draw.
  std::vector<uint8_t> bytes;
};

struct LayoutElement {
  std::string semantic;
  unsigned semanticIndex = 0;
  /// A DXGI_FORMAT value.
  int format = 0;
  unsigned slot = 0;
  unsigned offset = 0;
};

/// The pipeline as an indexed draw found it.
struct Draw {
  /// A D3D11_PRIMITIVE_TOPOLOGY value.
  int topology = 0;
  unsigned indexCount = 0;
  unsigned startIndex = 0;
  int baseVertex = 0;
  unsigned indexBuffer = 0;
  /// A DXGI_FORMAT value.
  int indexFormat = 0;
  unsigned indexOffset = 0;
  std::vector<uint8_t> indexBytes;
  /// By input slot.
  std::vector<VertexBinding> vertexBuffers;
  unsigned inputLayout = 0;
  std::vector<LayoutElement> layout;
  unsigned vertexShader = 0;
  unsigned pixelShader = 0;
  /// The constant buffers bound at slot 0 of each stage, as they held at the draw.
  unsigned vertexConstantBuffer = 0;
  std::vector<uint8_t> vertexConstants;
  unsigned pixelConstantBuffer = 0;
  std::vector<uint8_t> pixelConstants;
};

}  // namespace zovhost::d3d
