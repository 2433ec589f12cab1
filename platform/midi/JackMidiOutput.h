#pragma once

#include "platform/midi/MidiBackend.h"

#include <memory>
#include <string>

// The MIDI output under JACK, on the JACK library directly: a client of its own with one port and
// two ring buffers that its process callback drains every cycle, short messages (three bytes or
// fewer) first, so that they never wait behind SysEx. Because the ring buffers are ours, a send
// knows whether there is room, and closing knows when what was sent has left: it waits until the
// process callback has taken out every message sent before the close, and then a few cycles (the
// connected client has read them), counted from the cycle that took them, so that messages other
// threads go on sending do not hold the close up; at most 2 s, said on the error console when that
// was not enough.
//
// Null when no JACK server answers. `attempts` and `refused` as OpenJackClient (JackClient.h) takes them.
std::unique_ptr<MidiOutputClient> CreateJackMidiOutput(const std::string& clientName, int attempts = 1,
                                                       bool* refused = nullptr);
