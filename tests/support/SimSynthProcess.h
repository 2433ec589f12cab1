#pragma once
// The velk-simsynth command as a child process with its standard input and output on pipes, for the
// suites and benchmarks that run it beside a JACK server. The command is VELK_SIMSYNTH_PATH (set for
// every suite) unless a path is given.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

// The command as a child process with its standard input and output on pipes.
class SimSynthProcess
{
public:
#ifdef VELK_SIMSYNTH_PATH
  bool Start(const std::vector<std::string>& args)
  {
    return Start(args, VELK_SIMSYNTH_PATH);
  }
#endif

  bool Start(const std::vector<std::string>& args, std::string path)
  {
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) return false;
    std::vector<char*> argv;
    argv.push_back(path.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0)
    {
      dup2(toChild[0], 0);
      dup2(fromChild[1], 1);
      close(toChild[1]);
      close(fromChild[0]);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
    return pid_ > 0;
  }

  // The next line of its output; empty after the deadline or at its end.
  std::string ReadLine(std::chrono::milliseconds timeout = std::chrono::seconds(20))
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;)
    {
      const auto end = buffer_.find('\n');
      if (end != std::string::npos)
      {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd fd{out_, POLLIN, 0};
      if (left.count() <= 0 || poll(&fd, 1, int(left.count())) <= 0) return {};
      char chunk[65536];
      const ssize_t n = read(out_, chunk, sizeof chunk);
      if (n <= 0) return {};
      buffer_.append(chunk, size_t(n));
    }
  }

  bool WriteLine(const std::string& line)
  {
    const std::string text = line + "\n";
    return write(in_, text.data(), text.size()) == ssize_t(text.size());
  }

  // Waits for it to end; kills it when it does not within the bound. Its exit code, or -1.
  int Finish(std::chrono::milliseconds bound = std::chrono::seconds(10))
  {
    if (pid_ <= 0) return -1;
    if (in_ >= 0) close(in_);
    in_ = -1;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (waitpid(pid_, &status, WNOHANG) == 0)
    {
      if (std::chrono::steady_clock::now() > deadline)
      {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  ~SimSynthProcess()
  {
    Finish(std::chrono::seconds(2));
    if (out_ >= 0) close(out_);
  }

private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
};
