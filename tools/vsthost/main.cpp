#include "tools/vsthost/CommandLine.h"

#include <cstdio>

int main(int argc, char** argv)
{
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string out, err;
  const int code = vsthost::RunCommandLine(args, out, err);
  std::fputs(out.c_str(), stdout);
  std::fputs(err.c_str(), stderr);
  return code;
}
