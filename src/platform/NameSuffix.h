#pragma once
// Whether a file name ends in a suffix, letter case aside. Only ASCII letters
// fold, so the answer is the same in every locale the programs run under.

#include <string_view>

namespace velmora {

bool hasSuffixIgnoringCase(std::string_view name, std::string_view suffix);

}  // namespace velmora
