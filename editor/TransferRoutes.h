#pragma once

#include "editor/SettledEdits.h"
#include "librarian/ILibrarianHost.h"

#include <atomic>
#include <string>

class IEffectBase;
class LinkHost;
struct LinkState;
class TransferWorker;

// The editor's ways into the transfer worker that are not a control's own message: the librarian
// menus' slot and performance transfers, what the change handler does for the part selection and a
// part's program selection, and the whole dumps that carry the parameters without a message of
// their own once their edits settle. Posts only; the jobs are the worker's.
class TransferRoutes
{
public:
  static constexpr const char* kBusyText = "A transfer is running: try again when it has ended";

  TransferRoutes(LinkHost& host, IEffectBase& plug, TransferWorker& worker);

  // A menu's transfer (user-interface thread). A refused one says why in the status line.
  void Transfer(ILibrarianHost::Transfer transfer, int bank);

  // The tail of the main change handler for a parameter that changed (parameter lock held, so
  // nothing waits here). Selecting a part selects it on the synthesizer (the part-select NRPN); a
  // part's bank or program selects the program there (with the conflict check); both wait for
  // IdleTick. A parameter without a message of its own waits for its dump when the user changed it
  // on a control (userEdit): a value that a recall, a dump, the synthesizer or the host set is
  // already where it belongs. Nothing for a change that a received controller made.
  void ParameterChanged(int index, bool userEdit);

  // After the editor's idle call (user-interface thread, no lock held): the selections the change
  // handler asked for, with their waits. The selected part's new program then comes into the
  // editor, and a part with locked sections goes back whole afterwards.
  void IdleTick();
  // Selects the part's program on the synthesizer again at the next IdleTick (the conflict
  // window's answer to send it anyway).
  void SelectProgram(int part);

  // Once per processing block (audio thread; never waits): the follow-up of a program selection,
  // and the settled edits' dumps while no transfer runs.
  void Tick();

  const SettledEdits& Settled() const { return mSettled; }

private:
  void SelectPart(int part);
  bool PostSettled(const SettledEdits::Send& send);
  bool PartLocked(int part);
  void SetTargetToSelectedSlot();

  LinkHost& mHost;
  LinkState& mState;
  TransferWorker& mWorker;
  SettledEdits mSettled;
  // The part whose program selection waits for its request into the editor (-1 for none), and
  // whether that request was posted.
  std::atomic<int> mFollowUpPart{-1};
  std::atomic<bool> mFollowUpPosted{false};
  // What IdleTick is to select: the part on the synthesizer (-1 for none), and one bit per part
  // whose program is to be selected.
  std::atomic<int> mPartSelect{-1};
  std::atomic<uint32_t> mProgramSelect{0};
};
