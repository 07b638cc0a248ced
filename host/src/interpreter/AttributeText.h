#pragma once

#include <maya/MPlug.h>
#include <maya/MStatus.h>

#include <string>
#include <vector>

namespace zovhost {

/// The plug named "node.attribute", "node.attribute[2]", "node.array[2].child"
/// or "node.compound.child"; null (with a reason) when there is none.
MPlug plugByName(const std::string& name, std::string& error);

/// A plug's value as the words of a setAttr line, in user-interface units,
/// with the "-type" it needs ("" for numbers; "string", "matrix", "mesh").
/// False for plugs without a value (messages, arrays as a whole, data this
/// host cannot write).
bool attributeWords(const MPlug& plug, std::vector<std::string>& words, std::string& type);

/// Sets a plug from words of a setAttr line (user-interface units).
MStatus setAttributeWords(const MPlug& plug, const std::vector<std::string>& words);

/// Quotes a string for a command line.
std::string quoted(const std::string& text);

}  // namespace zovhost
