#include "editor/PortRecall.h"

#include <chrono>

PortRecall::PortRecall(Select select) : mSelect(std::move(select)) {}

PortRecall::~PortRecall()
{
  Stop();
}

bool PortRecall::Request(const std::string& input, const std::string& output)
{
  std::lock_guard<std::mutex> lock(mMutex);
  if (mStopping) return false;
  // An empty name leaves that direction alone: it keeps a pending request's name for it.
  if (!mPending || !input.empty()) mInput = input;
  if (!mPending || !output.empty()) mOutput = output;
  mPending = true;
  if (!mThread.joinable())
  {
    try
    {
      mThread = std::thread([this] { Run(); });
    }
    catch (...)
    {
      // No thread to be had: the ports stay as they are rather than risk waiting here.
      mPending = false;
      return false;
    }
  }
  mWake.notify_one();
  return true;
}

void PortRecall::Run()
{
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;)
  {
    mWake.wait(lock, [this] { return mStopping || mPending; });
    if (mStopping) break;
    const std::string input = mInput, output = mOutput;
    mPending = false;
    mBusy = true;
    lock.unlock();
    try
    {
      if (mSelect) mSelect(input, output);
    }
    catch (...)
    {
      // A failed selection leaves the ports as the back end left them; the thread carries on.
    }
    lock.lock();
    mBusy = false;
    if (!mPending) mIdle.notify_all();
  }
  mPending = mBusy = false;
  mIdle.notify_all();
}

bool PortRecall::WaitIdle(int milliseconds)
{
  std::unique_lock<std::mutex> lock(mMutex);
  return mIdle.wait_for(lock, std::chrono::milliseconds(milliseconds),
                        [this] { return !mPending && !mBusy; });
}

void PortRecall::Stop()
{
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopping = true;
    mPending = false;
  }
  mWake.notify_all();
  if (mThread.joinable() && mThread.get_id() != std::this_thread::get_id()) mThread.join();
}
