#pragma once

// The host's Direct3D 11 interfaces: a device that creates buffers, shaders
// and input layouts, its immediate context that binds them and draws, and
// reference counting on every object. The stand-in records each call and
// draws nothing itself; see zovhost/D3DRecord.h.

#include <cstddef>
#include <cstdint>

typedef int32_t HRESULT;
typedef unsigned int UINT;
typedef unsigned long ULONG;
typedef int INT;
typedef size_t SIZE_T;
typedef const char* LPCSTR;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

inline bool SUCCEEDED(HRESULT result) { return result >= 0; }
inline bool FAILED(HRESULT result) { return result < 0; }

/// Reference counting shared by every object: an object goes away when its
/// last reference is released. Both return the count left.
struct IUnknown {
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

struct ID3D11DeviceChild : IUnknown {};
struct ID3D11Resource : ID3D11DeviceChild {};
struct ID3D11Buffer : ID3D11Resource {};
struct ID3D11VertexShader : ID3D11DeviceChild {};
struct ID3D11PixelShader : ID3D11DeviceChild {};
struct ID3D11InputLayout : ID3D11DeviceChild {};
/// Not supported by the stand-in: always passed as null.
struct ID3D11ClassLinkage;
struct ID3D11ClassInstance;

enum D3D11_USAGE {
  D3D11_USAGE_DEFAULT = 0,
  D3D11_USAGE_IMMUTABLE = 1,
  D3D11_USAGE_DYNAMIC = 2,
  D3D11_USAGE_STAGING = 3
};

enum D3D11_BIND_FLAG : UINT {
  D3D11_BIND_VERTEX_BUFFER = 0x1,
  D3D11_BIND_INDEX_BUFFER = 0x2,
  D3D11_BIND_CONSTANT_BUFFER = 0x4,
};

enum D3D11_CPU_ACCESS_FLAG : UINT { D3D11_CPU_ACCESS_WRITE = 0x10000, D3D11_CPU_ACCESS_READ = 0x20000 };

enum D3D11_MAP { D3D11_MAP_WRITE = 2, D3D11_MAP_WRITE_DISCARD = 4, D3D11_MAP_WRITE_NO_OVERWRITE = 5 };

enum DXGI_FORMAT {
  DXGI_FORMAT_UNKNOWN = 0,
  DXGI_FORMAT_R32G32B32A32_FLOAT = 2,
  DXGI_FORMAT_R32G32B32_FLOAT = 6,
  DXGI_FORMAT_R32_UINT = 42,
  DXGI_FORMAT_R16_UINT = 57,
};

enum D3D11_INPUT_CLASSIFICATION { D3D11_INPUT_PER_VERTEX_DATA = 0, D3D11_INPUT_PER_INSTANCE_DATA = 1 };

enum D3D11_PRIMITIVE_TOPOLOGY {
  D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED = 0,
  D3D11_PRIMITIVE_TOPOLOGY_POINTLIST = 1,
  D3D11_PRIMITIVE_TOPOLOGY_LINELIST = 2,
  D3D11_PRIMITIVE_TOPOLOGY_LINESTRIP = 3,
  D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST = 4,
  D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP = 5,
};

/// What a buffer is: its size in bytes, how it is used and bound.
struct D3D11_BUFFER_DESC {
  UINT ByteWidth;
  D3D11_USAGE Usage;
  UINT BindFlags;
  UINT CPUAccessFlags;
  UINT MiscFlags;
  UINT StructureByteStride;
};

/// Initial contents of a resource.
struct D3D11_SUBRESOURCE_DATA {
  const void* pSysMem;
  UINT SysMemPitch;
  UINT SysMemSlicePitch;
};

/// Where a mapped resource can be written.
struct D3D11_MAPPED_SUBRESOURCE {
  void* pData;
  UINT RowPitch;
  UINT DepthPitch;
};

/// A region of a resource, in bytes along left/right for a buffer.
struct D3D11_BOX {
  UINT left, top, front, right, bottom, back;
};

/// One element of a vertex as the vertex shader reads it.
struct D3D11_INPUT_ELEMENT_DESC {
  LPCSTR SemanticName;
  UINT SemanticIndex;
  DXGI_FORMAT Format;
  UINT InputSlot;
  UINT AlignedByteOffset;
  D3D11_INPUT_CLASSIFICATION InputSlotClass;
  UINT InstanceDataStepRate;
};

/// The device's immediate context: binds objects to the pipeline and draws.
struct ID3D11DeviceContext : ID3D11DeviceChild {
  /// Maps a dynamic buffer for writing; with D3D11_MAP_WRITE_DISCARD the old
  /// contents are gone.
  virtual HRESULT Map(ID3D11Resource* resource, UINT subresource, D3D11_MAP mapType, UINT mapFlags,
                      D3D11_MAPPED_SUBRESOURCE* mapped) = 0;
  virtual void Unmap(ID3D11Resource* resource, UINT subresource) = 0;
  /// Copies data into a default-usage resource (the whole of it without a box).
  virtual void UpdateSubresource(ID3D11Resource* resource, UINT subresource, const D3D11_BOX* box, const void* data,
                                 UINT rowPitch, UINT depthPitch) = 0;
  virtual void IASetInputLayout(ID3D11InputLayout* layout) = 0;
  virtual void IASetVertexBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers, const UINT* strides,
                                  const UINT* offsets) = 0;
  virtual void IASetIndexBuffer(ID3D11Buffer* buffer, DXGI_FORMAT format, UINT offset) = 0;
  virtual void IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY topology) = 0;
  virtual void VSSetShader(ID3D11VertexShader* shader, ID3D11ClassInstance* const* instances, UINT instanceCount) = 0;
  virtual void PSSetShader(ID3D11PixelShader* shader, ID3D11ClassInstance* const* instances, UINT instanceCount) = 0;
  virtual void VSSetConstantBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers) = 0;
  virtual void PSSetConstantBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers) = 0;
  virtual void DrawIndexed(UINT indexCount, UINT startIndex, INT baseVertex) = 0;
};

/// The device: creates objects. Every object it hands out carries one
/// reference for the caller.
struct ID3D11Device : IUnknown {
  virtual HRESULT CreateBuffer(const D3D11_BUFFER_DESC* desc, const D3D11_SUBRESOURCE_DATA* initialData,
                               ID3D11Buffer** buffer) = 0;
  virtual HRESULT CreateVertexShader(const void* bytecode, SIZE_T length, ID3D11ClassLinkage* linkage,
                                     ID3D11VertexShader** shader) = 0;
  virtual HRESULT CreatePixelShader(const void* bytecode, SIZE_T length, ID3D11ClassLinkage* linkage,
                                    ID3D11PixelShader** shader) = 0;
  /// A layout of `count` elements checked against a compiled vertex shader.
  virtual HRESULT CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* elements, UINT count, const void* bytecode,
                                    SIZE_T length, ID3D11InputLayout** layout) = 0;
  /// The immediate context, with a reference for the caller.
  virtual void GetImmediateContext(ID3D11DeviceContext** context) = 0;
};
