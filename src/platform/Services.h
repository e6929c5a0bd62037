#pragma once

#include <QString>

namespace sorvane::platform {

class InputBox;
class MessageBox;
class ProgramEnd;
class Pointer;
class Registry;
class FileAttributes;
class ProgramStart;
class PrinterProvider;
class Meter;

// Everything the program takes from the operating system, passed to each window.
// The program fills it with the Qt/POSIX implementations; tests fill it with fakes.
struct Services {
  InputBox* inputBox = nullptr;
  MessageBox* messageBox = nullptr;
  ProgramEnd* programEnd = nullptr;
  Pointer* pointer = nullptr;
  Registry* registry = nullptr;
  FileAttributes* fileAttributes = nullptr;
  ProgramStart* programStart = nullptr;
  PrinterProvider* printers = nullptr;
  // The pH meter whose readings fill the reading dialogs; none unless the settings set one up.
  Meter* meter = nullptr;
  // The folder that holds the program file; the results database lives there.
  QString programFolder;
};

}  // namespace sorvane::platform
