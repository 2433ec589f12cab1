#include "link/TransferWorker.h"

#include "framework/plugin/ParameterIds.h"
#include "link/DeviceSender.h"
#include "link/LinkHost.h"

#include <cstdint>
#include <vector>

void TransferWorker::SendSysEx(SysExBytes message)
{
  if (mHost.IntParam(kDeviceOutSelection) == 0)
  {
    mHost.SetStatusText(DeviceSender::kSetMidiFirst);
    return;
  }
  if (message.empty()) return;
  std::vector<uint8_t> bytes(message.size());
  const size_t last = bytes.size() - 1;
  for (size_t i = 0; i < bytes.size(); ++i)
  {
    const uint8_t byte = uint8_t(message[i] & 0xFF);
    const bool frame = (i == 0 && byte == 0xF0) || (i == last && byte == 0xF7);
    // A template value past 127 must not end the message early or start another.
    bytes[i] = frame || byte < 0x80 ? byte : 0x7F;
  }
  mHost.DeviceSendSysEx(bytes.data(), int(bytes.size()));
}
