// Replacing the MIDI back end after ports were only listed (as the editor's device menus do while
// it is built), and refusing it while a port is open.
#include "framework/plugin/IMidiPorts.h"
#include "platform/midi/LoopbackMidiBackend.h"

#include <gtest/gtest.h>

TEST(MidiBackendSwap, ListingLeavesTheBackendReplaceableAnOpenPortDoesNot)
{
  auto first = std::make_shared<LoopbackMidiBackend>();
  first->AddLoopPort("First");
  auto second = std::make_shared<LoopbackMidiBackend>();
  second->AddLoopPort("Second");
  IMidiPorts ports;
  ASSERT_TRUE(ports.SetBackend(first));
  EXPECT_EQ(ports.ListMidiOutputPorts(), (std::vector<std::string>{"Select MIDI Device", "First"}));
  EXPECT_EQ(ports.ListMidiInputPorts(), (std::vector<std::string>{"Select MIDI Device", "First"}));

  // The listing clients belong to the first back end; the next listing asks the second.
  ASSERT_TRUE(ports.SetBackend(second));
  EXPECT_EQ(ports.ListMidiOutputPorts(), (std::vector<std::string>{"Select MIDI Device", "Second"}));
  EXPECT_EQ(ports.ListMidiInputPorts(), (std::vector<std::string>{"Select MIDI Device", "Second"}));

  int index = 1;
  ASSERT_EQ(ports.SelectMidiOutputPort(index, "Second"), 1);
  EXPECT_FALSE(ports.SetBackend(first)) << "an open output keeps its back end";
  EXPECT_EQ(ports.FindMidiOutputPort("Second"), 1);
  ports.CloseMidiOutput();
  EXPECT_TRUE(ports.SetBackend(first));
}
