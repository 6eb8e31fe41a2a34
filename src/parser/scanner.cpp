#include "parser/scanner.hpp"

namespace quenra {

Fragment next_fragment(std::string_view& cursor) {
    ReferenceSearch search(cursor);
    return next_fragment(cursor, search);
}

}  // namespace quenra
