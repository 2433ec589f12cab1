#pragma once

#include <atomic>

// How many of the next jack_client_open calls of this suite the stand-in (JackPortRuleTest.cpp)
// refuses as a loaded server does (status 0x21), the server still running.
extern std::atomic<int> gJackOpensToRefuse;
