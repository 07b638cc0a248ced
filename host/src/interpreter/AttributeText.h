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

/// Checks the numbers setAttr words give a numeric plug (a number or each
/// component of a numeric compound) before they are set: false, with `error`
/// naming the plug, for a number the plug cannot hold (past single
/// precision, say); a number beyond the plug's range, which the plug holds
/// at the range's nearer end, adds a line to `clamped` naming the plug.
bool checkNumberWords(const MPlug& plug, const std::vector<std::string>& words, std::string& error,
                      std::vector<std::string>& clamped);

/// Quotes a string for a command line.
std::string quoted(const std::string& text);

}  // namespace zovhost
