#pragma once

#include <string>

// What the librarian's view and menus ask of the main class: transfers and program selection
// on the synthesizer, and the status line. The librarian knows nothing of the link; the main
// class implements this and answers a request it cannot carry out by telling the user.
class ILibrarianHost
{
public:
  virtual ~ILibrarianHost() = default;

  // Sends a slot of a pane (0 left, 1 right) to the selected part's edit buffer.
  virtual void LibrarianSendSlot(int slot, int side) = 0;
  // Receives a bank of the kind (PatchLibrarian::Mode) from the synthesizer into the left pane.
  virtual void LibrarianRequestBank(int mode, int bank) = 0;
  // Writes a pane's bank of the kind into a bank of the synthesizer's memory.
  virtual void LibrarianStoreBank(int side, int mode, int bank) = 0;
  // Selects bank and program (0-based) for the selected part.
  virtual void LibrarianSelectProgram(int bank, int program) = 0;
  // The selected part's bank and program (0-based), as the menus show them checked.
  virtual int LibrarianPartBank() = 0;
  virtual int LibrarianPartProgram() = 0;
  virtual void LibrarianStatus(const std::string& text) = 0;

  // The transfers of the menus that concern the selected slot or the editor as a whole; `bank` is
  // the synthesizer's bank (0-based) where the transfer names one.
  enum class Transfer
  {
    kReceiveSlot,       // the synthesizer's slot of the selected number in the bank, into the selected slot
    kReceiveEditBuffer, // the synthesizer's edit buffer (the selected part's program) into the selected slot
    kStoreCurrent,      // the editor's program (selected part) or performance into the selected slot
    kInitialiseSlot,    // the initial program, performance or pattern into the selected slot
    kSendPart,          // the selected part's program to the synthesizer's edit buffer
    kSendPerformance,   // the global settings, the eight part programs and the performance
    kSendGlobals,       // the global settings
  };
  virtual void LibrarianTransfer(Transfer transfer, int bank) = 0;
};
