#pragma once

#include <maya/MStatus.h>

#include <string>
#include <vector>

/// The syntax of a command: its flags (a short and a long name, each with
/// typed arguments), its positional arguments and its objects.
class MSyntax {
 public:
  enum MArgType {
    kInvalidArgType,
    kNoArg,
    kBoolean,
    kLong,
    kDouble,
    kString,
    kUnsigned,
    kDistance,
    kAngle,
    kTime,
    kSelectionItem,
    kLastArgType
  };
  enum MObjectFormat { kInvalidObjectFormat, kNone, kStringObjects, kSelectionList, kLastObjectFormat };

  MSyntax() = default;

  /// Adds a flag, for example ("-a", "-active", kUnsigned); a name already
  /// used fails.
  MStatus addFlag(const char* shortName, const char* longName, MArgType arg1 = kNoArg, MArgType arg2 = kNoArg,
                  MArgType arg3 = kNoArg, MArgType arg4 = kNoArg, MArgType arg5 = kNoArg, MArgType arg6 = kNoArg);
  /// Lets a flag appear more than once.
  MStatus makeFlagMultiUse(const char* flag);
  /// Adds a positional argument (given before the objects).
  MStatus addArg(MArgType type);
  /// The kind and count of objects; max 0 means no limit.
  MStatus setObjectType(MObjectFormat format, unsigned int minimum = 0);
  MStatus setObjectType(MObjectFormat format, unsigned int minimum, unsigned int maximum);
  MStatus setMinObjects(unsigned int minimum);
  MStatus setMaxObjects(unsigned int maximum);
  /// Without objects on the command line, the active selection is used.
  void useSelectionAsDefault(bool useSelection) { m_selectionAsDefault = useSelection; }
  /// Allows "-q"/"-query" and "-e"/"-edit".
  void enableQuery(bool enable = true) { m_query = enable; }
  void enableEdit(bool enable = true) { m_edit = enable; }

  // Host side: what the parser reads.
  struct Flag {
    std::string shortName;
    std::string longName;
    std::vector<MArgType> arguments;
    bool multiUse = false;
  };
  /// The flag with this short or long name (with or without its dash), or null.
  const Flag* findFlag(const std::string& name) const;
  const std::vector<Flag>& flags() const { return m_flags; }
  const std::vector<MArgType>& arguments() const { return m_arguments; }
  MObjectFormat objectFormat() const { return m_objectFormat; }
  unsigned int minObjects() const { return m_minObjects; }
  unsigned int maxObjects() const { return m_maxObjects; }
  bool selectionAsDefault() const { return m_selectionAsDefault; }
  bool queryEnabled() const { return m_query; }
  bool editEnabled() const { return m_edit; }

 private:
  std::vector<Flag> m_flags;
  std::vector<MArgType> m_arguments;
  MObjectFormat m_objectFormat = kNone;
  unsigned int m_minObjects = 0;
  unsigned int m_maxObjects = 0;
  bool m_selectionAsDefault = false;
  bool m_query = false;
  bool m_edit = false;
};
