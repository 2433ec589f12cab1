// velk-simsynth: a simulated synthesizer on MIDI ports of its own, for trying the editor without
// hardware and for the end-to-end tests.
//   velk-simsynth --client NAME --device-id N --seed S [--api auto|alsa|jack] [--mode program|performance]
// Prints "READY <in> <out>" once its ports are open (the editor sends to <in> and listens to <out>),
// then reads control lines on standard input (see SimSynthControl.h) until QUIT or end of input.
#include "platform/clock/RealClock.h"
#include "platform/midi/MidiBackend.h"
#include "tools/simsynth/SimSynthControl.h"
#include "tools/simsynth/SimSynthPorts.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

namespace
{
int Usage(const std::string& problem)
{
  std::cerr << "velk-simsynth: " << problem << "\n"
            << "usage: velk-simsynth --client NAME --device-id N --seed S [--api auto|alsa|jack] "
               "[--mode program|performance]\n";
  return 2;
}

bool ParseUnsigned(const std::string& text, unsigned long high, unsigned long& value)
{
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = std::stoul(text);
  return value <= high;
}

int Run(int argc, char** argv)
{
  std::string client;
  unsigned long deviceId = 256;
  unsigned long seed = 0;
  bool haveSeed = false;
  RtMidiApiChoice api = RtMidiApiChoice::Automatic;
  SimSynth::Mode mode = SimSynth::Mode::Program;
  for (int i = 1; i < argc; ++i)
  {
    const std::string option = argv[i];
    if (i + 1 >= argc) return Usage("missing value after " + option);
    const std::string value = argv[++i];
    if (option == "--client")
      client = value;
    else if (option == "--device-id")
    {
      if (!ParseUnsigned(value, 127, deviceId)) return Usage("device id 0 to 127 expected");
    }
    else if (option == "--seed")
    {
      if (!ParseUnsigned(value, 0xFFFFFFFFul, seed)) return Usage("seed 0 to 4294967295 expected");
      haveSeed = true;
    }
    else if (option == "--api")
    {
      if (value == "jack")
        api = RtMidiApiChoice::Jack;
      else if (value == "alsa")
        api = RtMidiApiChoice::Alsa;
      else if (value != "auto")
        return Usage("api auto, alsa or jack expected");
    }
    else if (option == "--mode")
    {
      if (value == "performance")
        mode = SimSynth::Mode::Performance;
      else if (value != "program")
        return Usage("mode program or performance expected");
    }
    else
      return Usage("unknown option " + option);
  }
  if (client.empty() || deviceId > 127 || !haveSeed)
    return Usage("--client, --device-id and --seed are required");

  SimSynth synth{uint8_t(deviceId), uint32_t(seed)};
  synth.SetMode(mode);
  RealClock clock;
  SimSynthPorts ports(synth, CreateRtMidiBackend(api), clock);
  if (!ports.OpenVirtual(client))
  {
    std::cerr << "velk-simsynth: could not open MIDI ports for \"" << client << "\"\n";
    return 1;
  }
  std::cout << "READY " << ports.InputName() << ' ' << ports.OutputName() << std::endl;
  std::string line;
  while (std::getline(std::cin, line))
  {
    const bool more = SimSynthControl(synth, line, std::cout);
    std::cout.flush();
    if (!more) break;
  }
  ports.Close();
  return 0;
}
} // namespace

int main(int argc, char** argv)
{
  try
  {
    return Run(argc, argv);
  }
  catch (const std::exception& e)
  {
    std::cerr << "velk-simsynth: " << e.what() << "\n";
  }
  catch (...)
  {
    std::cerr << "velk-simsynth: unexpected failure\n";
  }
  return 1;
}
