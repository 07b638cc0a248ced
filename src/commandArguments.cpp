#include "src/commandArguments.h"

MSyntax commandSyntax(std::initializer_list<CommandFlag> flags, const CommandObjects& objects) {
  MSyntax syntax;
  for (const CommandFlag& flag : flags) syntax.addFlag(flag.shortName, flag.longName, flag.argument);
  if (objects.format != MSyntax::kNone) syntax.setObjectType(objects.format, objects.least, objects.most);
  syntax.useSelectionAsDefault(objects.selectionByDefault);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus CommandArguments::parse(const MSyntax& syntax, const MArgList& list) {
  MStatus status;
  auto database = std::make_unique<MArgDatabase>(syntax, list, &status);
  if (status) m_database = std::move(database);
  return status;
}

bool CommandArguments::isSet(const CommandFlag& flag) const {
  return parsed() && m_database->isFlagSet(flag.shortName);
}

bool CommandArguments::checkNodeName(const CommandFlag& flag, const MString& name) const {
  return checkNodeNameFlag(m_command, flag.longName, name);
}

MSelectionList CommandArguments::objects() const {
  MSelectionList list;
  if (parsed()) m_database->getObjects(list);
  return list;
}
