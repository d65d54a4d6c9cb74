// The content rules of GS1 data, one component at a time.
#pragma once

#include "gs1/ai_table.h"

#include <string>
#include <string_view>

namespace qb {

namespace gs1 {

// The first character of `value` outside the character set, or -1.
int FirstBadCharacter(Charset charset, std::string_view value);

// "character 'x' not allowed" for a character (a code outside the printable
// ranges is written as 0xNN).
std::string CharacterNotAllowed(char c);

// The same for the character at `at` of `value`: a character of two to four
// bytes of well-formed UTF-8 is quoted whole ("character '£' not allowed"),
// any other byte as the one above.
std::string CharacterNotAllowed(std::string_view value, std::size_t at);

// What is wrong with a component by one rule ("check digit should be 3",
// "261340 is not a date"); empty when the rule holds or is not checked.
std::string BreaksRule(Linter linter, std::string_view value);

} // namespace gs1

} // namespace qb
