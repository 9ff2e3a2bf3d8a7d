#include "foundation/Thread.h"

namespace thread_detail {

std::string location_name(const char* owner_type, const char* function) {
    std::string name = "CThread<class ";
    name += owner_type;
    name += ">::";
    name += function;
    return name;
}

} // namespace thread_detail
