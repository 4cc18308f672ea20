// How Tapwire reads a number out of a text (a settings value, a list text, a
// port name): leading white space is skipped, an optional sign and the decimal
// digits that follow are taken, and the number ends at the first other
// character. A text without digits gives 0; a number beyond the range of int
// saturates.
#pragma once

#include <string>

namespace tapwire {

int LeadingInteger(const std::u16string& text);

} // namespace tapwire
