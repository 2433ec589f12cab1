// The RtMidi back end on Windows: the multimedia API whatever was asked for, its ports as the system lists
// them, and failures answered (Wine offers no MIDI device without a sequencer: opening then fails cleanly).

#include "platform/midi/MidiBackend.h"

#include <windows.h>

#include <mmsystem.h>

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string OutputName(UINT device)
{
  MIDIOUTCAPSA caps{};
  return midiOutGetDevCapsA(device, &caps, sizeof caps) == MMSYSERR_NOERROR ? caps.szPname : "";
}
} // namespace

TEST(Win32MidiBackend, EveryChoiceIsTheMultimediaApiWithItsPortsAndFailuresAnswered)
{
  for (RtMidiApiChoice choice : {RtMidiApiChoice::Automatic, RtMidiApiChoice::Alsa, RtMidiApiChoice::Jack})
  {
    auto backend = CreateRtMidiBackend(choice);
    ASSERT_TRUE(backend);
    auto output = backend->CreateOutput("RtMidi Output Client");
    auto input = backend->CreateInput("RtMidi Input Client");
    ASSERT_TRUE(output);
    ASSERT_TRUE(input);
    // The system's own lists, in its order.
    const unsigned outputs = output->PortCount();
    EXPECT_EQ(outputs, midiOutGetNumDevs());
    EXPECT_EQ(input->PortCount(), midiInGetNumDevs());
    for (unsigned port = 0; port < outputs; ++port)
    {
      std::string name;
      EXPECT_TRUE(output->PortName(port, name));
      EXPECT_EQ(name.rfind(OutputName(port), 0), 0u) << name; // the library may number equal names
    }
    // A port past the list: nothing opens, nothing is sent, closing is harmless.
    EXPECT_FALSE(output->OpenPort(outputs, "RtMidi Output"));
    EXPECT_FALSE(output->IsPortOpen());
    const uint8_t note[3] = {0x90, 60, 100};
    EXPECT_FALSE(output->Send(note, sizeof note));
    output->ClosePort();
    EXPECT_FALSE(input->OpenPort(input->PortCount(), "RtMidi Input", [](const uint8_t*, size_t) {}));
    EXPECT_FALSE(input->IsPortOpen());
    input->ClosePort();
    // The multimedia API has no ports of our own for other programs to connect to.
    EXPECT_FALSE(output->OpenVirtualPort("velk"));
    EXPECT_FALSE(output->IsPortOpen());
    // The whole of a long SysEx is one message.
    EXPECT_GE(output->MaxMessageSize(), size_t(65536));
  }
}
