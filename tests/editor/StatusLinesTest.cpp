#include "editor/StatusLines.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

// Each line keeps its own text, with or without a control, while other threads set the others.
TEST(StatusLines, EachLineKeepsItsOwnTextFromAnyThread)
{
  StatusLines lines;
  for (int line = 0; line < StatusLines::kLineCount; ++line)
  {
    EXPECT_EQ(lines.Display(StatusLines::Line(line)), nullptr);
    EXPECT_EQ(lines.Text(StatusLines::Line(line)), "");
  }
  std::thread writers[StatusLines::kLineCount];
  for (int line = 0; line < StatusLines::kLineCount; ++line)
    writers[line] = std::thread(
        [&lines, line]
        {
          for (int i = 0; i < 200; ++i)
            lines.Set(StatusLines::Line(line), "line " + std::to_string(line) + " " + std::to_string(i));
        });
  for (int i = 0; i < 200; ++i)
  {
    const std::string seen = lines.Text(StatusLines::kProgress);
    EXPECT_TRUE(seen.empty() || seen.rfind("line 4 ", 0) == 0) << seen;
  }
  for (std::thread& t : writers)
    t.join();
  for (int line = 0; line < StatusLines::kLineCount; ++line)
    EXPECT_EQ(lines.Text(StatusLines::Line(line)), "line " + std::to_string(line) + " 199");
}
