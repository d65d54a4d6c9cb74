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

// What is wrong with a component by one rule ("check digit should be 3",
// "261340 is not a date"); empty when the rule holds or is not checked.
std::string BreaksRule(Linter linter, std::string_view value);

} // namespace gs1

} // namespace qb
