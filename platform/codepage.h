#pragma once
// The workstation's single-byte code page (Windows-1252) and the program's
// internal UTF-8 text.
#include <string>
#include <string_view>

namespace platform {

std::string cp1252ToUtf8(std::string_view bytes);
// Characters outside the code page become '?', as the platform's conversion did.
std::string utf8ToCp1252(std::string_view text);

// Upper/lower case of ASCII letters only (names, account numbers).
std::string asciiUpper(std::string_view s);
std::string asciiLower(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace platform
