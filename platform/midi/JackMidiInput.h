#pragma once

#include "platform/midi/MidiBackend.h"

#include <memory>
#include <string>

// The MIDI input under JACK, on the JACK library directly: a client of its own with one port whose
// process callback hands every message on (timing clock and active sensing left out), a SysEx
// message that comes in pieces joined again (up to 64 KiB). Unlike RtMidi's JACK input it sees the
// server go away, so that the plug-in can drop the client and make a new one when the server is back.
//
// Null when no JACK server answers. `attempts` and `refused` as OpenJackClient (JackClient.h) takes them.
std::unique_ptr<MidiInputClient> CreateJackMidiInput(const std::string& clientName, int attempts = 1,
                                                     bool* refused = nullptr);
