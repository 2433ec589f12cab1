#pragma once

#include "tools/simsynth/SimSynth.h"

#include <ostream>
#include <string>

// The command's control lines, one per call; every line is answered on `out`:
//   BANK n            the slots of bank code n (1-4 performances, 5-12 programs) as
//                     "SLOT <slot> <hex>" lines, one per message, then "END"
//   LOG               the log, one line each, then "END"
//   WRITES            "WRITES program-edit a performance-edit b program-memory c performance-memory d global
//   e":
//                     the dumps taken into each store so far
//   SILENT 0|1        answer nothing / answer again
//   SLOW ms           wait ms before every answered message (0: no wait)
//   MISSING code slot [n]  leave that slot unanswered (n times, then answer it; always without
//                     n); "MISSING OFF" answers it again
//   CORRUPT n         the next n answered messages carry a data byte of 0x85 (byte 20)
//   CABLE rate [piece]  answers leave in pieces of `piece` bytes (16) at `rate` bytes per second,
//                     as over a MIDI cable (3125); "CABLE 0": whole, at once
//   GARBAGE n         sends F0 and n data bytes without an F7 (answered once sent)
//   SEND hex ...      sends a channel message of one to three bytes (status, then data bytes)
//   WRONGPART 0|1     edit-buffer programs name the next part
//   MALFORMED 0|1     every answered message one byte short
//   MODE PROGRAM|PERFORMANCE
//   PART n            the part (0-7) whose program answers an edit-buffer request in program mode
//   QUIT              (false: the command ends)
// Anything else, or a line whose arguments do not read, is answered "ERROR ..." and changes nothing;
// the others answer "OK". One handler a command, chosen from a table by the first word.
bool SimSynthControl(SimSynth& synth, const std::string& line, std::ostream& out);
