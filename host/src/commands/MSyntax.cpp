#include <maya/MSyntax.h>

namespace {

std::string withoutDash(const std::string& name) { return !name.empty() && name[0] == '-' ? name.substr(1) : name; }

}  // namespace

MStatus MSyntax::addFlag(const char* shortName, const char* longName, MArgType arg1, MArgType arg2, MArgType arg3,
                         MArgType arg4, MArgType arg5, MArgType arg6) {
  if (!shortName || !longName || withoutDash(shortName).empty()) return MS::kInvalidParameter;
  if (findFlag(shortName) || findFlag(longName)) return MS::kFailure;
  Flag flag;
  flag.shortName = withoutDash(shortName);
  flag.longName = withoutDash(longName);
  for (MArgType type : {arg1, arg2, arg3, arg4, arg5, arg6}) {
    if (type == kNoArg) break;
    if (type <= kNoArg || type >= kLastArgType) return MS::kInvalidParameter;
    flag.arguments.push_back(type);
  }
  m_flags.push_back(flag);
  return MS::kSuccess;
}

MStatus MSyntax::makeFlagMultiUse(const char* flag) {
  for (Flag& f : m_flags)
    if (f.shortName == withoutDash(flag) || f.longName == withoutDash(flag)) {
      f.multiUse = true;
      return MS::kSuccess;
    }
  return MS::kInvalidParameter;
}

MStatus MSyntax::addArg(MArgType type) {
  if (type <= kNoArg || type >= kLastArgType) return MS::kInvalidParameter;
  m_arguments.push_back(type);
  return MS::kSuccess;
}

MStatus MSyntax::setObjectType(MObjectFormat format, unsigned int minimum) { return setObjectType(format, minimum, 0); }

MStatus MSyntax::setObjectType(MObjectFormat format, unsigned int minimum, unsigned int maximum) {
  if (format <= kInvalidObjectFormat || format >= kLastObjectFormat) return MS::kInvalidParameter;
  if (maximum != 0 && maximum < minimum) return MS::kInvalidParameter;
  m_objectFormat = format;
  m_minObjects = minimum;
  m_maxObjects = maximum;
  return MS::kSuccess;
}

MStatus MSyntax::setMinObjects(unsigned int minimum) {
  m_minObjects = minimum;
  return MS::kSuccess;
}

MStatus MSyntax::setMaxObjects(unsigned int maximum) {
  m_maxObjects = maximum;
  return MS::kSuccess;
}

const MSyntax::Flag* MSyntax::findFlag(const std::string& name) const {
  const std::string bare = withoutDash(name);
  for (const Flag& flag : m_flags)
    if (flag.shortName == bare || flag.longName == bare) return &flag;
  return nullptr;
}
