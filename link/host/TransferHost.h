#pragma once

#include <string>

class IEffectBase;
struct DumpContext; // link/dumps/DumpResult.h: host/ sits below the dump formats

// What the transfer worker needs of the main object beyond LinkHost: the plug-in the dump parsers
// write, the editor's transfer states and the texts and views a reception changes. The main class
// implements it; tests use a double.
class TransferHost
{
public:
  virtual ~TransferHost() = default;

  // The plug-in whose parameters received dumps go into.
  virtual IEffectBase& DumpPlug() = 0;
  // Selected part, part-channels switch and category list, as the parsers need them now.
  virtual DumpContext CurrentDumpContext() = 0;
  // Progress overlay and cancel buttons on (a job starts) or off (it ends); either way the short
  // busy flag of a single send (LinkHost::transferBusy) ends, so the job's answers come in.
  virtual void ShowTransferOverlay(bool shown) = 0;
  // A received program's category and name for the second and third status lines.
  virtual void SetPartTexts(const std::string& info, const std::string& progress) = 0;
  // A received slot was stored into the librarian's left bank: refresh and redraw that pane.
  virtual void LibrarianSlotReceived() = 0;
  // A reception into the librarian ended with its slot received: the bank shows as edited and
  // unsaved, so that it is not closed without asking.
  virtual void FinishReceive() = 0;
  // A requested edit buffer arrived and the editor's view must follow (the kMainTab change).
  virtual void RefreshMainView() = 0;
  // A program or performance name received from or sent to the synthesizer, for the project's
  // names (slot 0 the performance, 1 - 8 the parts' programs), which are saved with the project.
  virtual void StoreProjectName(int slot, const std::string& name) { (void)slot, (void)name; }
};
