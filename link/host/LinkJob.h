#pragma once

#include "librarian/LibrarianSlot.h"

#include <cstdint>

// The jobs of the transfer worker. The numbers are the jobs' old codes, kept so that logs and
// notes that name a job by number still match; nothing stores them.
enum class LinkJobCode : uint8_t
{
  kSendPerformance = 0,         // the performance (globals and parts first when asked)
  kSendGlobals = 1,             // the global settings
  kSendPartProgram = 2,         // one part's program
  kBusyPulse = 3,               // the overlay on and off again
  kLoadSlot = 4,                // a librarian slot to the edit buffer
  kWriteBank = 5,               // a librarian bank to the synthesizer's memory
  kRequestEditBuffer = 6,       // the edit buffer, to the editor or the librarian
  kRequestPartProgram = 7,      // the program of a part (after a program change)
  kRequestPattern = 8,          // a pattern: a busy pulse, nothing is sent
  kRequestPerformance = 9,      // one performance slot
  kRequestPerformanceBank = 10, // a bank of performances
  kRequestProgram = 11,         // one program slot, or the edit buffer into the librarian
  kRequestProgramBank = 12,     // a bank of programs
  kRequestPatternBank = 14,     // a bank of patterns: a busy pulse, nothing is sent
  kInitPerformanceSlot = 15,    // the initial performance into the selected left slot
  kInitProgramSlot = 16,        // the initial program into the selected left slot
  kInitPatternSlot = 17,        // the initial pattern into the selected left slot
  kConnect = 18,                // the handshake (device id request and scan)
  kNone = 19,                   // nothing
  kTransportStart = 20,         // FA (transport thread)
  kMidiClock = 21,              // the MIDI clock (clock thread)
  kTransportStop = 22,          // FC (transport thread)
};

// A request for a thread of the transfer worker (its job and the arguments the job reads).
struct LinkJob
{
  LinkJobCode code = LinkJobCode::kNone;
  int partOrSlot = 0; // kRequestProgram reads it as the pending request id
  int side = 0;       // kWriteBank: which pane's bank
  int bank = 0;       // kWriteBank: the bank to write; kRequestPerformance to kRequestProgramBank: the bank
  bool storeFlag = false;
  // kSendPerformance to kSendPartProgram: a send to the edit buffer that the editor makes on its
  // own (settled edits), not a transfer the user started: no overlay and no cancel button, so the
  // editor keeps its clicks.
  bool quiet = false;
  bool toEditorFlag = false;
  bool editBufferFlag = false; // kRequestProgram: the edit buffer instead of a memory slot
  int initTarget = 0;          // kInitPerformanceSlot to kInitPatternSlot
  // kLoadSlot: a copy of the slot to load (the bank may change while the job runs), and whether
  // the performance's parts are then re-selected (DeviceSender::ReselectPerformanceParts), the
  // current performance sent (kSendPerformance's routine) and, 1000 ms later, the edit buffer
  // requested to the editor (kRequestEditBuffer's routine), all on the jobs thread.
  LibrarianSlot slot;
  bool reselectParts = false;
  // kLoadSlot posted from the host's processing thread, which copies nothing: the job takes slot
  // slot.number of the pane `side`'s bank out of the librarian itself, and ends at once when it is empty.
  bool slotFromBank = false;
  // kRequestPartProgram: a program change (0..127) sent to the part first, so that a program
  // change received from the host or the synthesizer is followed up on the jobs thread; -1 for none.
  int programChange = -1;
};
