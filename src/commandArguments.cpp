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
  auto parsedNow = std::make_unique<MArgDatabase>(syntax, list, &status);
  if (status) database = std::move(parsedNow);
  return status;
}

bool CommandArguments::isSet(const CommandFlag& flag) const { return parsed() && database->isFlagSet(flag.shortName); }

bool CommandArguments::checkNodeName(const CommandFlag& flag, const MString& name) const {
  return checkNodeNameFlag(commandName, flag.longName, name);
}

MSelectionList CommandArguments::objects() const {
  MSelectionList list;
  if (parsed()) database->getObjects(list);
  return list;
}
