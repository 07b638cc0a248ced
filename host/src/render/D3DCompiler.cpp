// The stand-in's shader compiler. It does not translate the source: it
// checks that the target is one it knows and that the entry point is a
// function of the source, and hands back code that carries the target, the
// entry point and the source, which the device checks when it makes a
// shader or an input layout from it.
#include <d3dcompiler.h>

#include <cctype>
#include <cstring>
#include <string>

#include "render/D3DDevice.h"

namespace {

using zovhost::d3d::Blob;
using zovhost::d3d::Recorder;
using zovhost::d3d::ShaderCode;

const char* const kTargets[] = {"vs_5_0", "ps_5_0"};

/// True when `name` is followed, after spaces, by an opening parenthesis
/// somewhere in the source, as a function's name is.
bool definesFunction(const std::string& source, const std::string& name) {
  if (name.empty()) return false;
  for (size_t at = source.find(name); at != std::string::npos; at = source.find(name, at + 1)) {
    const auto identifier = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    if (at > 0 && identifier(source[at - 1])) continue;
    size_t next = at + name.size();
    while (next < source.size() && std::isspace(static_cast<unsigned char>(source[next]))) ++next;
    if (next < source.size() && source[next] == '(') return true;
  }
  return false;
}

/// Why the compilation fails, or empty when it does not.
std::string failure(Recorder& recorder, const std::string& name, const std::string& source, const char* entryPoint,
                    const char* target) {
  if (source.empty()) return name + ": error: no source";
  if (!target) return name + ": error: no target";
  bool known = false;
  for (const char* candidate : kTargets) known = known || std::strcmp(candidate, target) == 0;
  if (!known) return name + ": error: unknown target '" + target + "'";
  if (!entryPoint || !definesFunction(source, entryPoint))
    return name + ": error: entry point '" + (entryPoint ? entryPoint : "") + "' not found";
  if (recorder.failingTargets.count(target)) return name + ": error: compilation for " + target + " failed";
  return std::string();
}

}  // namespace

HRESULT D3DCompile(const void* sourceData, SIZE_T sourceSize, LPCSTR sourceName, const D3D_SHADER_MACRO* defines,
                   ID3DInclude* include, LPCSTR entryPoint, LPCSTR target, UINT flags, UINT effectFlags,
                   ID3DBlob** code, ID3DBlob** errors) {
  Recorder& recorder = zovhost::d3d::d3dRecorder();
  zovhost::d3d::Call& call = recorder.record("D3DCompile", 0);
  call.values = {static_cast<int64_t>(sourceSize), defines ? 1 : 0, include ? 1 : 0, flags, effectFlags};
  call.texts = {sourceName ? sourceName : "", entryPoint ? entryPoint : "", target ? target : ""};
  // The source ends at its size or at its first zero.
  std::string source;
  if (sourceData) {
    const char* text = static_cast<const char*>(sourceData);
    source.assign(text, strnlen(text, sourceSize));
  }
  if (code) *code = nullptr;
  if (errors) *errors = nullptr;

  const std::string name = sourceName ? sourceName : "source";
  const std::string problem = code ? failure(recorder, name, source, entryPoint, target) : name + ": error: no code";
  if (!problem.empty()) {
    if (errors) {
      std::vector<uint8_t> text(problem.begin(), problem.end());
      text.push_back(0);
      *errors = new Blob(recorder, std::move(text));
      recorder.calls.back().objects.push_back(static_cast<Blob*>(*errors)->id());
    }
    return recorder.calls.back().result = E_FAIL;
  }
  auto* blob = new Blob(recorder, ShaderCode{target, entryPoint, source}.encode());
  *code = blob;
  recorder.calls.back().objects.push_back(blob->id());
  return S_OK;
}
