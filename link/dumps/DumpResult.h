#pragma once

#include <string>
#include <vector>

// What a dump parser needs of the editor beside the message.
struct DumpContext
{
  int selectedPart = 0;      // the part the editor shows
  bool partChannels = false; // performance parts keep MIDI channel = part number
  // The value list "categoryName" of the definition document; none: no category text.
  const std::vector<std::string>* categoryNames = nullptr;
};

enum class DumpStatus
{
  NotThisType, // another message: nothing read, nothing changed
  Taken,       // read into the parameters
  Refused,     // of this type, but too short or of the wrong length: nothing changed
};

// What a parser did, for the receiver to show and to act on.
struct DumpResult
{
  DumpStatus status = DumpStatus::NotThisType;
  std::string statusText;         // why a message of this type was refused
  int part = -1;                  // the part a program message was for
  std::string name;               // the received program or performance name, as it stood
  std::string infoText;           // second status line: the selected part's category
  std::string progressText;       // third status line: the selected part's program name
  bool showsSelectedPart = false; // infoText and progressText apply
  int selectedPart = -1;          // performance: the part it selects
  bool outputsLocked = false;     // performance: the part outputs were kept
  int deviceId = -1;              // global settings: the device id they came from
  int localControlOn = -1;        // second global message: 1 or 0 for the owner's local-control byte

  bool Taken() const { return status == DumpStatus::Taken; }
};
