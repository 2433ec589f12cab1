#pragma once

#include "config/MidiMapRecord.h"

class LinkHost;

// The transfer worker: for now the direct SysEx send of the parameter output; its job threads
// come with the transfer jobs.
class TransferWorker
{
public:
  explicit TransferWorker(LinkHost& host) : mHost(host) {}

  // One configured SysEx message to the output port: the low 8 bits of each element, every byte
  // between F0 and F7 held to 0..127. Without a chosen output "Set MIDI I/O First!" and nothing
  // sent; an empty message sends nothing. No light, no log.
  void SendSysEx(SysExBytes message);

private:
  LinkHost& mHost;
};
