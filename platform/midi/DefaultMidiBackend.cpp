#include "platform/midi/LoopbackMidiBackend.h"
#include "platform/midi/MidiBackend.h"

#include <cstdlib>
#include <cstring>

std::shared_ptr<MidiBackend> CreateDefaultMidiBackend()
{
  const char* choice = std::getenv("VELK_MIDI_BACKEND");
  if (choice && std::strcmp(choice, "loopback") == 0) return std::make_shared<LoopbackMidiBackend>();
  if (choice && std::strcmp(choice, "jack") == 0) return CreateRtMidiBackend(RtMidiApiChoice::Jack);
  if (choice && std::strcmp(choice, "alsa") == 0) return CreateRtMidiBackend(RtMidiApiChoice::Alsa);
  return CreateRtMidiBackend();
}
