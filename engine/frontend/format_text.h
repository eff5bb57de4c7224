// printf-style formatting into a string that grows to fit, for the front
// ends' print operations.
#pragma once

#include <cstdarg>
#include <string>

namespace zekt {

std::string formatText(const char* format, std::va_list args);

}  // namespace zekt
