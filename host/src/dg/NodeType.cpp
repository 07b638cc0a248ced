#include "dg/NodeType.h"

#include <algorithm>

namespace zovhost {

bool NodeType::isOutput(const AttributeImpl& attribute) const {
  // Children of an affected compound are outputs with it.
  for (const AttributeImpl* a = &attribute; a; a = a->parent)
    if (std::find(outputs.begin(), outputs.end(), a) != outputs.end()) return true;
  return false;
}

const std::vector<const AttributeImpl*>& NodeType::affected(const AttributeImpl& attribute) const {
  static const std::vector<const AttributeImpl*> kNone;
  const auto found = affects.find(&attribute);
  return found == affects.end() ? kNone : found->second;
}

bool NodeType::matchesTypeName(const std::string& typeName) const {
  return std::find(typeNames.begin(), typeNames.end(), typeName) != typeNames.end();
}

}  // namespace zovhost
