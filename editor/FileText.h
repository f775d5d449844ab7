// Text as it goes into and comes out of the configuration file. The editor keeps UTF-8 in
// memory; the file is ISO-8859-1 with markup characters escaped, so any name or comment
// survives a save and reopen.
#pragma once

#include <cstdint>
#include <string>

namespace vorn::editor {

inline constexpr const char* kLineEnd = "\r\n";

// n horizontal tabs.
std::string indent(int level);

// Element content: "&" and "<" escaped, characters above U+00FF and the tab, line feed and
// carriage return as character references, the rest as ISO-8859-1 bytes; other control
// characters, which no XML file carries, are left out. What is written reads back the same.
std::string fileText(const std::string& utf8);
// Attribute value: as fileText, and the double quote escaped too.
std::string fileAttribute(const std::string& utf8);

// Numbers read from the file, converted as the editor's runtime converts text: surrounding
// blanks are allowed, a fraction is rounded half to even ("12.7" gives 13). Text that is not a
// number throws EditorError 13, a value outside the target range EditorError 6; `what` names
// the value in the message.
uint8_t toByte(const std::string& text, const std::string& what);
// 0..65535, the range of the file's 16-bit counts (an array's elements).
uint16_t toWord(const std::string& text, const std::string& what);
int16_t toInteger(const std::string& text, const std::string& what);
int32_t toLong(const std::string& text, const std::string& what);
// A TCP port, 1..65535.
uint16_t toPort(const std::string& text, const std::string& what);
// A time in milliseconds, 0..4294967295 (32 bits, as the servers read it).
uint32_t toMilliseconds(const std::string& text, const std::string& what);

// ASCII case-insensitive equality, for element names.
bool equalsNoCase(const std::string& a, const char* b);

} // namespace vorn::editor
