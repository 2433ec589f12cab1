#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

class IEffectBase;

// The sound parameters that no controller, NRPN or SysEx message of their own carries: their
// controls change only the editor, so once the user's edits have settled (no change for kSettleMs)
// the whole dump that holds them goes to the synthesizer's edit buffer: the part's program, the
// performance or the global settings. What the editor shows (its pages, tabs, part and librarian
// area) is never such an edit, even where a dump holds it. Marking and taking may come from
// different threads.
class SettledEdits
{
public:
  static constexpr int64_t kSettleMs = 150;

  enum class Carrier : uint8_t
  {
    kNone,
    kProgram,     // the program of a part (kSendPartProgram without storing)
    kPerformance, // the performance (kSendPerformance without storing)
    kGlobals,     // the global settings (kSendGlobals)
  };
  struct Send
  {
    Carrier carrier = Carrier::kNone;
    int part = 0; // kProgram only
  };

  // Reads the parameters' MIDI map records (built by the configuration) and the dump tables.
  explicit SettledEdits(IEffectBase& plug);

  // The dump that carries a parameter without a message of its own; kNone for every other one.
  Carrier CarrierOf(int index) const;
  // The part a kProgram parameter belongs to.
  int PartOf(int index) const;
  // How many parameters travel only in a dump.
  int Count() const;
  // A setting of the editor's view: which page, tab, part or librarian area it shows.
  static bool IsViewSetting(int index);

  // The user changed a parameter on a control at nowMs; answers whether it waits for its dump.
  bool Changed(int index, int64_t nowMs);
  // Once no edit moved for kSettleMs: the next dump to send, taken off the list (programs in
  // part order, then the performance, then the global settings). Nothing while edits still move.
  std::optional<Send> TakeSettled(int64_t nowMs);
  // A dump taken whose send was refused waits again.
  void PutBack(const Send& send);
  void Forget() { mPending = 0; }
  bool Pending() const { return mPending.load() != 0; }

private:
  static constexpr uint32_t kPerformanceBit = 1u << 8;
  static constexpr uint32_t kGlobalsBit = 1u << 9;
  static uint32_t Bit(const Send& send);

  // Per parameter: 0 none, 1 to 8 the program of part 0 to 7, 9 the performance, 10 the globals.
  std::vector<uint8_t> mCarrier;
  std::atomic<uint32_t> mPending{0};
  std::atomic<int64_t> mLastChangeMs{0};
};
