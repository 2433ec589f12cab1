#include "platform/thread/WakeSignal.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

struct WakeSignal::State
{
  HANDLE semaphore = nullptr;
};

WakeSignal::WakeSignal() : mState(std::make_unique<State>())
{
  mState->semaphore = CreateSemaphoreW(nullptr, 0, LONG_MAX, nullptr);
  if (!mState->semaphore) throw std::runtime_error("no semaphore could be made");
}

WakeSignal::~WakeSignal()
{
  CloseHandle(mState->semaphore);
}

void WakeSignal::Post()
{
  ReleaseSemaphore(mState->semaphore, 1, nullptr);
}

bool WakeSignal::WaitFor(std::chrono::milliseconds timeout)
{
  const long long ms = timeout.count();
  const DWORD wait = ms <= 0 ? 0 : (ms >= 0xFFFFFFFELL ? 0xFFFFFFFEu : DWORD(ms));
  return WaitForSingleObject(mState->semaphore, wait) == WAIT_OBJECT_0;
}

void WakeSignal::Wait()
{
  WaitForSingleObject(mState->semaphore, INFINITE);
}
