#pragma once

#include <string>

// Appends one line to the diagnostic log: the local time ("%Y-%m-%d.%X"), a tab, a blank and
// the message, and echoes the message to the console as "Build LOG: \t <message>". When the
// log file cannot be opened nothing is written or echoed.
void WriteBuildLog(const std::string& logPath, const std::string& message);
