#include "devsdk/client/Library.h"

namespace ovix::client {

Library& library() {
    static Library* instance = new Library;
    return *instance;
}

} // namespace ovix::client
