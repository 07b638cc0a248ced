#pragma once

#include <map>
#include <string>

namespace zovhost {

/// Takes the procedure definitions out of a script's text and returns the
/// rest. A definition starts a command: "global proc [type] name() { body }"
/// or "proc ...". Each body is stored under its name in `bodies` (a later
/// definition replaces an earlier one). Procedures take no parameters in this
/// host; a definition with parameters or without its braces is an error:
/// false with the message in `error`, nothing stored.
bool extractProcedures(const std::string& text, std::string& rest, std::map<std::string, std::string>& bodies,
                       std::string& error);

}  // namespace zovhost
