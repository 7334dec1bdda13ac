#pragma once

#include <string>

// The system's own words for a Windows error code or HRESULT, on one line.
std::string windowsErrorText(unsigned long code);
