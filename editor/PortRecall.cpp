#include "editor/PortRecall.h"

#include <chrono>

PortRecall::PortRecall(Select select, ServerGone serverGone)
    : mSelect(std::move(select)), mServerGone(std::move(serverGone))
{
}

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
  if (Wake()) return true;
  mPending = false;
  return false;
}

bool PortRecall::NoteServerGone()
{
  std::lock_guard<std::mutex> lock(mMutex);
  if (mStopping) return false;
  mServerGonePending = true;
  if (Wake()) return true;
  mServerGonePending = false;
  return false;
}

bool PortRecall::Wake()
{
  if (!mThread.joinable())
  {
    try
    {
      mThread = std::thread([this] { Run(); });
    }
    catch (...)
    {
      // No thread to be had: the ports stay as they are rather than risk waiting here.
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
    mWake.wait(lock, [this] { return mStopping || mPending || mServerGonePending; });
    if (mStopping) break;
    // The lost clients go first, so that a selection asked for meanwhile makes new ones.
    const bool serverGone = mServerGonePending, select = mPending;
    const std::string input = mInput, output = mOutput;
    mServerGonePending = false;
    mPending = false;
    mBusy = true;
    lock.unlock();
    try
    {
      if (serverGone && mServerGone) mServerGone();
      if (select && mSelect) mSelect(input, output);
    }
    catch (...)
    {
      // A failed selection leaves the ports as the back end left them; the thread carries on.
    }
    lock.lock();
    mBusy = false;
    if (!mPending && !mServerGonePending) mIdle.notify_all();
  }
  mPending = mBusy = mServerGonePending = false;
  mIdle.notify_all();
}

bool PortRecall::WaitIdle(int milliseconds)
{
  std::unique_lock<std::mutex> lock(mMutex);
  return mIdle.wait_for(lock, std::chrono::milliseconds(milliseconds),
                        [this] { return !mPending && !mServerGonePending && !mBusy; });
}

void PortRecall::Stop()
{
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopping = true;
    mPending = false;
    mServerGonePending = false;
  }
  mWake.notify_all();
  if (mThread.joinable() && mThread.get_id() != std::this_thread::get_id()) mThread.join();
}
