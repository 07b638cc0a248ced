#include "render/D3DDevice.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace zovhost::d3d {

namespace {

const char kCodeTag[] = "zovhost shader code";

std::vector<uint8_t> bytesOf(const void* data, size_t length) {
  const auto* begin = static_cast<const uint8_t*>(data);
  return data ? std::vector<uint8_t>(begin, begin + length) : std::vector<uint8_t>();
}

/// True when the word stands in the text as a whole identifier.
bool hasWord(const std::string& text, const std::string& word) {
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const auto identifier = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    const bool before = at > 0 && identifier(text[at - 1]);
    const bool after = at + word.size() < text.size() && identifier(text[at + word.size()]);
    if (!before && !after) return true;
  }
  return false;
}

/// A buffer description the device accepts: a size, constant buffers in
/// whole 16-byte registers, CPU writes exactly for dynamic buffers.
bool validDescription(const D3D11_BUFFER_DESC& desc, const D3D11_SUBRESOURCE_DATA* initialData) {
  if (desc.ByteWidth == 0) return false;
  if ((desc.BindFlags & D3D11_BIND_CONSTANT_BUFFER) && desc.ByteWidth % 16 != 0) return false;
  const bool writable = (desc.CPUAccessFlags & D3D11_CPU_ACCESS_WRITE) != 0;
  if ((desc.Usage == D3D11_USAGE_DYNAMIC) != writable) return false;
  if (desc.Usage == D3D11_USAGE_IMMUTABLE && (!initialData || !initialData->pSysMem)) return false;
  return true;
}

}  // namespace

std::vector<uint8_t> ShaderCode::encode() const {
  std::vector<uint8_t> bytes;
  for (const std::string* part : {&target, &entryPoint, &source}) {
    bytes.insert(bytes.end(), part->begin(), part->end());
    bytes.push_back(0);
  }
  bytes.insert(bytes.begin(), kCodeTag, kCodeTag + sizeof kCodeTag);
  return bytes;
}

bool ShaderCode::decode(const void* bytes, SIZE_T length) {
  if (!bytes || length < sizeof kCodeTag || std::memcmp(bytes, kCodeTag, sizeof kCodeTag) != 0) return false;
  const char* text = static_cast<const char*>(bytes) + sizeof kCodeTag;
  const char* end = static_cast<const char*>(bytes) + length;
  std::string* parts[] = {&target, &entryPoint, &source};
  for (std::string* part : parts) {
    const char* zero = static_cast<const char*>(std::memchr(text, 0, static_cast<size_t>(end - text)));
    if (!zero) return false;
    part->assign(text, zero);
    text = zero + 1;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Device

HRESULT Device::CreateBuffer(const D3D11_BUFFER_DESC* desc, const D3D11_SUBRESOURCE_DATA* initialData,
                             ID3D11Buffer** buffer) {
  Call& call = m_recorder.record("CreateBuffer", id());
  if (desc)
    call.values = {desc->ByteWidth,      desc->Usage,     desc->BindFlags,
                   desc->CPUAccessFlags, desc->MiscFlags, desc->StructureByteStride};
  if (desc && initialData) call.bytes = bytesOf(initialData->pSysMem, desc->ByteWidth);
  if (!desc || !buffer || !validDescription(*desc, initialData)) return call.result = E_INVALIDARG;
  if (m_recorder.takeFailure("CreateBuffer")) return call.result = E_OUTOFMEMORY;
  auto* made = new Buffer(m_recorder, *desc);
  made->bytes = call.bytes;
  made->bytes.resize(desc->ByteWidth);
  *buffer = made;
  m_recorder.calls.back().objects.push_back(made->id());
  return S_OK;
}

template <typename Made, typename Interface>
HRESULT Device::createShader(const char* name, const char* prefix, const void* bytecode, SIZE_T length,
                             ID3D11ClassLinkage* linkage, Interface** shader) {
  Call& call = m_recorder.record(name, id());
  call.values = {static_cast<int64_t>(length)};
  call.objects = {linkage ? 1u : 0u};
  ShaderCode code;
  if (!shader || !code.decode(bytecode, length) || code.target.rfind(prefix, 0) != 0) return call.result = E_INVALIDARG;
  call.texts = {code.target, code.entryPoint};
  if (m_recorder.takeFailure(name)) return call.result = E_OUTOFMEMORY;
  auto* made = new Made(m_recorder, code);
  *shader = made;
  m_recorder.calls.back().objects.push_back(made->id());
  return S_OK;
}

HRESULT Device::CreateVertexShader(const void* bytecode, SIZE_T length, ID3D11ClassLinkage* linkage,
                                   ID3D11VertexShader** shader) {
  return createShader<VertexShader>("CreateVertexShader", "vs_", bytecode, length, linkage, shader);
}

HRESULT Device::CreatePixelShader(const void* bytecode, SIZE_T length, ID3D11ClassLinkage* linkage,
                                  ID3D11PixelShader** shader) {
  return createShader<PixelShader>("CreatePixelShader", "ps_", bytecode, length, linkage, shader);
}

HRESULT Device::CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* elements, UINT count, const void* bytecode,
                                  SIZE_T length, ID3D11InputLayout** layout) {
  Call& call = m_recorder.record("CreateInputLayout", id());
  call.values = {count};
  std::vector<LayoutElement> made;
  for (UINT i = 0; elements && i < count; ++i) {
    const D3D11_INPUT_ELEMENT_DESC& element = elements[i];
    const std::string semantic = element.SemanticName ? element.SemanticName : "";
    call.texts.push_back(semantic);
    call.values.insert(call.values.end(),
                       {element.SemanticIndex, element.Format, element.InputSlot, element.AlignedByteOffset,
                        element.InputSlotClass, element.InstanceDataStepRate});
    made.push_back({semantic, element.SemanticIndex, element.Format, element.InputSlot, element.AlignedByteOffset});
  }
  // The layout must feed the inputs the vertex shader's source names.
  ShaderCode code;
  bool matches = layout && elements && count > 0 && code.decode(bytecode, length) && code.target.rfind("vs_", 0) == 0;
  for (const LayoutElement& element : made) matches = matches && hasWord(code.source, element.semantic);
  if (!matches) return call.result = E_INVALIDARG;
  if (m_recorder.takeFailure("CreateInputLayout")) return call.result = E_OUTOFMEMORY;
  auto* object = new InputLayout(m_recorder, std::move(made));
  *layout = object;
  m_recorder.calls.back().objects.push_back(object->id());
  return S_OK;
}

void Device::GetImmediateContext(ID3D11DeviceContext** context) {
  m_recorder.record("GetImmediateContext", id()).objects = {m_context->id()};
  if (!context) return;
  m_context->AddRef();
  *context = m_context.get();
}

// ---------------------------------------------------------------------------
// Immediate context

Buffer* Context::liveBuffer(const IUnknown* pointer) const { return dynamic_cast<Buffer*>(m_recorder.find(pointer)); }

HRESULT Context::Map(ID3D11Resource* resource, UINT subresource, D3D11_MAP mapType, UINT mapFlags,
                     D3D11_MAPPED_SUBRESOURCE* mapped) {
  Call& call = m_recorder.record("Map", id());
  call.objects = {m_recorder.idOf(resource)};
  call.values = {subresource, mapType, mapFlags};
  Buffer* buffer = liveBuffer(resource);
  const bool writes = mapType == D3D11_MAP_WRITE_DISCARD || mapType == D3D11_MAP_WRITE_NO_OVERWRITE;
  if (!buffer || !mapped || subresource != 0 || !writes || buffer->mapped || buffer->desc.Usage != D3D11_USAGE_DYNAMIC)
    return call.result = E_INVALIDARG;
  // Discarded contents are gone: what is not written reads as zeros.
  if (mapType == D3D11_MAP_WRITE_DISCARD) std::fill(buffer->bytes.begin(), buffer->bytes.end(), 0);
  buffer->mapped = true;
  mapped->pData = buffer->bytes.data();
  mapped->RowPitch = buffer->desc.ByteWidth;
  mapped->DepthPitch = buffer->desc.ByteWidth;
  return S_OK;
}

void Context::Unmap(ID3D11Resource* resource, UINT subresource) {
  Call& call = m_recorder.record("Unmap", id());
  call.objects = {m_recorder.idOf(resource)};
  call.values = {subresource};
  Buffer* buffer = liveBuffer(resource);
  if (!buffer || !buffer->mapped) {
    call.result = E_INVALIDARG;
    return;
  }
  buffer->mapped = false;
  call.bytes = buffer->bytes;
}

void Context::UpdateSubresource(ID3D11Resource* resource, UINT subresource, const D3D11_BOX* box, const void* data,
                                UINT rowPitch, UINT depthPitch) {
  Call& call = m_recorder.record("UpdateSubresource", id());
  call.objects = {m_recorder.idOf(resource)};
  call.values = {subresource, box ? 1 : 0, rowPitch, depthPitch};
  Buffer* buffer = liveBuffer(resource);
  // Only default-usage buffers take updates; dynamic ones are mapped.
  if (!buffer || !data || subresource != 0 || buffer->desc.Usage != D3D11_USAGE_DEFAULT) {
    call.result = E_INVALIDARG;
    return;
  }
  const UINT begin = box ? box->left : 0;
  const UINT end = box ? box->right : buffer->desc.ByteWidth;
  if (begin >= end || end > buffer->desc.ByteWidth) {
    call.result = E_INVALIDARG;
    return;
  }
  call.bytes = bytesOf(data, end - begin);
  std::copy(call.bytes.begin(), call.bytes.end(), buffer->bytes.begin() + begin);
}

void Context::IASetInputLayout(ID3D11InputLayout* layout) {
  m_layout = m_recorder.idOf(layout);
  m_recorder.record("IASetInputLayout", id()).objects = {m_layout};
}

void Context::IASetVertexBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers, const UINT* strides,
                                 const UINT* offsets) {
  Call& call = m_recorder.record("IASetVertexBuffers", id());
  call.values = {startSlot, count};
  if (!buffers || !strides || !offsets || startSlot >= kSlots || count > kSlots - startSlot) {
    call.result = E_INVALIDARG;
    return;
  }
  for (UINT i = 0; i < count; ++i) {
    m_vertexBuffers[startSlot + i] = m_recorder.idOf(buffers[i]);
    m_strides[startSlot + i] = strides[i];
    m_offsets[startSlot + i] = offsets[i];
    call.objects.push_back(m_vertexBuffers[startSlot + i]);
  }
  call.values.insert(call.values.end(), strides, strides + count);
  call.values.insert(call.values.end(), offsets, offsets + count);
}

void Context::IASetIndexBuffer(ID3D11Buffer* buffer, DXGI_FORMAT format, UINT offset) {
  m_indexBuffer = m_recorder.idOf(buffer);
  m_indexFormat = format;
  m_indexOffset = offset;
  Call& call = m_recorder.record("IASetIndexBuffer", id());
  call.objects = {m_indexBuffer};
  call.values = {format, offset};
}

void Context::IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY topology) {
  m_topology = topology;
  m_recorder.record("IASetPrimitiveTopology", id()).values = {topology};
}

void Context::VSSetShader(ID3D11VertexShader* shader, ID3D11ClassInstance* const* instances, UINT instanceCount) {
  m_vertexShader = m_recorder.idOf(shader);
  Call& call = m_recorder.record("VSSetShader", id());
  call.objects = {m_vertexShader};
  call.values = {instances ? 1 : 0, instanceCount};
}

void Context::PSSetShader(ID3D11PixelShader* shader, ID3D11ClassInstance* const* instances, UINT instanceCount) {
  m_pixelShader = m_recorder.idOf(shader);
  Call& call = m_recorder.record("PSSetShader", id());
  call.objects = {m_pixelShader};
  call.values = {instances ? 1 : 0, instanceCount};
}

void Context::setConstantBuffers(const char* function, unsigned* slots, UINT startSlot, UINT count,
                                 ID3D11Buffer* const* buffers) {
  Call& call = m_recorder.record(function, id());
  call.values = {startSlot, count};
  if (!buffers || startSlot >= kSlots || count > kSlots - startSlot) {
    call.result = E_INVALIDARG;
    return;
  }
  for (UINT i = 0; i < count; ++i) {
    slots[startSlot + i] = m_recorder.idOf(buffers[i]);
    call.objects.push_back(slots[startSlot + i]);
  }
}

void Context::VSSetConstantBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers) {
  setConstantBuffers("VSSetConstantBuffers", m_vertexConstants, startSlot, count, buffers);
}

void Context::PSSetConstantBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers) {
  setConstantBuffers("PSSetConstantBuffers", m_pixelConstants, startSlot, count, buffers);
}

void Context::DrawIndexed(UINT indexCount, UINT startIndex, INT baseVertex) {
  m_recorder.record("DrawIndexed", id()).values = {indexCount, startIndex, baseVertex};
  // Bound objects released since are missing: they draw as unbound.
  const auto buffer = [this](unsigned objectId) { return dynamic_cast<const Buffer*>(m_recorder.live(objectId)); };
  Draw draw;
  draw.topology = m_topology;
  draw.indexCount = indexCount;
  draw.startIndex = startIndex;
  draw.baseVertex = baseVertex;
  if (const Buffer* indices = buffer(m_indexBuffer)) {
    draw.indexBuffer = m_indexBuffer;
    draw.indexFormat = m_indexFormat;
    draw.indexOffset = m_indexOffset;
    draw.indexBytes = indices->bytes;
  }
  for (unsigned slot = 0; slot < kSlots; ++slot) {
    const Buffer* vertices = buffer(m_vertexBuffers[slot]);
    if (!vertices) continue;
    draw.vertexBuffers.resize(slot + 1);
    draw.vertexBuffers[slot] = {m_vertexBuffers[slot], m_strides[slot], m_offsets[slot], vertices->bytes};
  }
  if (const auto* layout = dynamic_cast<const InputLayout*>(m_recorder.live(m_layout))) {
    draw.inputLayout = m_layout;
    draw.layout = layout->elements;
  }
  draw.vertexShader = m_recorder.live(m_vertexShader) ? m_vertexShader : 0;
  draw.pixelShader = m_recorder.live(m_pixelShader) ? m_pixelShader : 0;
  if (const Buffer* constants = buffer(m_vertexConstants[0])) {
    draw.vertexConstantBuffer = m_vertexConstants[0];
    draw.vertexConstants = constants->bytes;
  }
  if (const Buffer* constants = buffer(m_pixelConstants[0])) {
    draw.pixelConstantBuffer = m_pixelConstants[0];
    draw.pixelConstants = constants->bytes;
  }
  m_recorder.draws.push_back(std::move(draw));
}

}  // namespace zovhost::d3d
