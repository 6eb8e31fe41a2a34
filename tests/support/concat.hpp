// Joins pieces of text. (GCC 12 misreports `"literal" + std::string` at -O3
// as an overlapping copy, so the tests build strings this way.)
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace quenra::testing {

inline std::string concat(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts) out.append(part);
    return out;
}

}  // namespace quenra::testing
