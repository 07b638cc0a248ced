#include "dg/NodeImpl.h"

#include <maya/MPxNode.h>

namespace zovhost {

NodeImpl::NodeImpl(std::shared_ptr<NodeType> nodeType, std::uint64_t serialNumber)
    : type(std::move(nodeType)), serial(serialNumber) {
  for (const auto& attribute : type->attributes) m_slots.push_back(std::make_unique<Slot>(makeSlot(*attribute, false)));
}

// A node the host never let go of explicitly (made and dropped): its plug-in
// object goes first, though its destructor can no longer reach the node.
NodeImpl::~NodeImpl() { destroyUser(); }

void NodeImpl::destroyUser() {
  if (!user || disposing) return;
  disposing = true;
  delete user.get();
  user.release();
  disposing = false;
  disposed = true;
}

unsigned int NodeImpl::attributeCount() const {
  return static_cast<unsigned int>(type->attributes.size() + dynamicAttributes.size());
}

const std::shared_ptr<AttributeImpl>& NodeImpl::attributeAt(unsigned int index) const {
  const size_t staticCount = type->attributes.size();
  return index < staticCount ? type->attributes[index] : dynamicAttributes[index - staticCount];
}

std::shared_ptr<AttributeImpl> NodeImpl::findAttribute(const std::string& name) const {
  for (unsigned int i = 0; i < attributeCount(); ++i) {
    const auto& attribute = attributeAt(i);
    if (const AttributeImpl* found = attribute->findDescendant(name))
      return const_cast<AttributeImpl*>(found)->shared_from_this();
  }
  return nullptr;
}

bool NodeImpl::ownsAttribute(const AttributeImpl& attribute) const { return rootIndex(*attribute.root()) >= 0; }

bool NodeImpl::addDynamicAttribute(const std::shared_ptr<AttributeImpl>& attribute) {
  if (attribute->added) return false;
  for (const std::string* name : {&attribute->longName, &attribute->shortName})
    if (findAttribute(*name)) return false;
  for (const auto& child : attribute->children)
    if (findAttribute(child->longName) || findAttribute(child->shortName)) return false;
  attribute->dynamic = true;
  attribute->added = true;
  dynamicAttributes.push_back(attribute);
  m_slots.push_back(std::make_unique<Slot>(makeSlot(*attribute, false)));
  return true;
}

bool NodeImpl::removeDynamicAttribute(const AttributeImpl& attribute) {
  for (size_t i = 0; i < dynamicAttributes.size(); ++i) {
    if (dynamicAttributes[i].get() != &attribute) continue;
    dynamicAttributes.erase(dynamicAttributes.begin() + static_cast<long>(i));
    m_slots.erase(m_slots.begin() + static_cast<long>(type->attributes.size() + i));
    return true;
  }
  return false;
}

int NodeImpl::rootIndex(const AttributeImpl& root) const {
  for (unsigned int i = 0; i < attributeCount(); ++i)
    if (attributeAt(i).get() == &root) return static_cast<int>(i);
  return -1;
}

Slot NodeImpl::makeSlot(const AttributeImpl& attribute, bool elementLevel) const {
  Slot slot;
  slot.dirty = type->isOutput(attribute);
  if (attribute.array && !elementLevel) {
    slot.arrayLevel = true;
    return slot;
  }
  if (attribute.isCompound()) {
    slot.children.reserve(attribute.children.size());
    for (const auto& child : attribute.children) slot.children.push_back(makeSlot(*child, false));
    return slot;
  }
  slot.value.number = attribute.defaultNumber;
  slot.value.text = attribute.defaultString;
  slot.value.data = attribute.defaultData;
  return slot;
}

Slot* NodeImpl::slot(const AttributeImpl& attribute, const std::vector<int>& indices, bool create) {
  const std::vector<const AttributeImpl*> chain = attribute.chain();
  const int root = rootIndex(*chain.front());
  if (root < 0) return nullptr;
  Slot* current = m_slots[static_cast<size_t>(root)].get();
  size_t next = 0;
  for (size_t depth = 0; depth < chain.size(); ++depth) {
    const AttributeImpl& step = *chain[depth];
    if (step.array) {
      const int index = next < indices.size() ? indices[next] : -1;
      ++next;
      if (index < 0) return depth + 1 == chain.size() ? current : nullptr;
      auto found = current->elements.find(static_cast<unsigned int>(index));
      if (found == current->elements.end()) {
        if (!create) return nullptr;
        found =
            current->elements.emplace(static_cast<unsigned int>(index), std::make_unique<Slot>(makeSlot(step, true)))
                .first;
      }
      current = found->second.get();
    }
    if (depth + 1 < chain.size()) current = &current->children[chain[depth + 1]->childIndex];
  }
  return current;
}

namespace {

void visitSlots(Slot& slot, const std::vector<const AttributeImpl*>& chain, size_t depth, std::vector<int>& indices,
                const std::function<void(Slot&, const std::vector<int>&)>& visit) {
  const AttributeImpl& step = *chain[depth];
  const bool last = depth + 1 == chain.size();
  if (step.array) {
    if (last) {
      visit(slot, indices);  // the array itself, then each element
    }
    for (auto& element : slot.elements) {
      indices.push_back(static_cast<int>(element.first));
      if (last)
        visit(*element.second, indices);
      else
        visitSlots(element.second->children[chain[depth + 1]->childIndex], chain, depth + 1, indices, visit);
      indices.pop_back();
    }
    return;
  }
  if (last)
    visit(slot, indices);
  else
    visitSlots(slot.children[chain[depth + 1]->childIndex], chain, depth + 1, indices, visit);
}

}  // namespace

void NodeImpl::forEachSlot(const AttributeImpl& attribute,
                           const std::function<void(Slot&, const std::vector<int>&)>& visit) {
  const std::vector<const AttributeImpl*> chain = attribute.chain();
  const int root = rootIndex(*chain.front());
  if (root < 0) return;
  std::vector<int> indices;
  visitSlots(*m_slots[static_cast<size_t>(root)], chain, 0, indices, visit);
}

std::shared_ptr<NodeImpl> nodeOf(const MObject& object) { return std::dynamic_pointer_cast<NodeImpl>(object.object()); }

}  // namespace zovhost
