#pragma once

// A JACK server of a test's own, which the test may kill as a crash ends one. Needs jackd.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

// A private JACK server on the dummy driver, synchronous as scripts/with-jack runs it.
class PrivateJackServer
{
public:
  explicit PrivateJackServer(std::string name)
      : name_(std::move(name)), log_(std::filesystem::temp_directory_path() / (name_ + ".log"))
  {
  }
  ~PrivateJackServer()
  {
    // A killed server leaves its entry in JACK's registry of servers (eight at most, shared by
    // every user of the machine), which only a server of the same name takes back: one is started
    // and stopped as a user stops it, which leaves nothing.
    if (killed_) Start();
    Stop(SIGTERM);
    std::error_code ec;
    std::filesystem::remove(log_, ec);
  }

  bool Start()
  {
    pid_ = fork();
    if (pid_ == 0)
    {
      const int out = open(log_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (out >= 0)
      {
        dup2(out, 1);
        dup2(out, 2);
      }
      setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
      execlp("jackd", "jackd", "-S", "--no-realtime", "-n", name_.c_str(), "-d", "dummy", "-r", "48000", "-p",
             "256", static_cast<char*>(nullptr));
      _exit(127);
    }
    if (pid_ < 0) return false;
    killed_ = false;
    const std::string wait = "jack_wait -s '" + name_ + "' -w -t 20 >/dev/null 2>&1";
    return std::system(wait.c_str()) == 0 && kill(pid_, 0) == 0;
  }

  // SIGKILL as a crash ends it, no client told beforehand; SIGTERM as a user stops it.
  void Stop(int signal)
  {
    if (pid_ <= 0) return;
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    killed_ = signal == SIGKILL;
  }

  const std::string& Name() const { return name_; }
  // What the server said, for a failure's message.
  std::string Log() const
  {
    std::ifstream in(log_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

private:
  std::string name_;
  std::filesystem::path log_;
  pid_t pid_ = -1;
  bool killed_ = false;
};
