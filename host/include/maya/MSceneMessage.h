#pragma once

#include <maya/MMessage.h>

/// Callbacks on scene file operations and host life-cycle moments.
class MSceneMessage : public MMessage {
 public:
  enum Message {
    kSceneUpdate = 0,
    kBeforeNew = 1,
    kAfterNew = 2,
    kBeforeImport = 3,
    kAfterImport = 4,
    kBeforeOpen = 5,
    kAfterOpen = 6,
    kBeforeFileRead = 7,
    kAfterFileRead = 8,
    kBeforeExport = 10,
    kAfterExport = 11,
    kBeforeSave = 12,
    kAfterSave = 13,
    kBeforeSoftwareRender = 24,
    kAfterSoftwareRender = 25,
    kMayaInitialized = 29,
    kMayaExiting = 30,
    kLast
  };

  static MCallbackId addCallback(Message message, MMessage::MBasicFunction function, void* clientData = nullptr,
                                 MStatus* status = nullptr);
};
