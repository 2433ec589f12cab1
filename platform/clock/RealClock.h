#pragma once

#include "platform/clock/Clock.h"

// The steady clock of the machine; a sleep wakes at once when its stop token is set.
class RealClock final : public Clock
{
public:
  int64_t NowNs() override;
  bool SleepMs(int64_t ms, std::stop_token stop = {}) override;
  bool SleepUntilNs(int64_t deadlineNs, std::stop_token stop = {}) override;
};
