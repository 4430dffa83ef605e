#include "base/name_key.h"

#include "base/ascii_case.h"

namespace jilan::base {

std::string nameKey(std::string_view domain) {
    return lowerAscii(domain);
}

}  // namespace jilan::base
