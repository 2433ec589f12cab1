#include "platform/thread/WakeSignal.h"

#include <semaphore>

struct WakeSignal::State
{
  std::counting_semaphore<> posts{0};
};

WakeSignal::WakeSignal() : mState(std::make_unique<State>()) {}
WakeSignal::~WakeSignal() = default;

void WakeSignal::Post()
{
  mState->posts.release();
}

bool WakeSignal::WaitFor(std::chrono::milliseconds timeout)
{
  return mState->posts.try_acquire_for(timeout);
}

void WakeSignal::Wait()
{
  mState->posts.acquire();
}
