#pragma once
#include "devsdk/protocol/Frame.h"
#include "devsdk/protocol/Messages.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The device's check of a login frame against the nonce of its hello: 0 when the proof
// matches the user's password, 5 for a frame that is not a login, 7 for another major
// version, 12 for an unknown user, 13 for a wrong password. Limits and refusals of the
// device's own come on top of this.
namespace ovix {

// The password of a user, or nothing for a user the device does not know.
using PasswordLookup = std::function<std::optional<std::string>(std::string_view user)>;

int32_t verify_login(const Frame& frame, const Nonce& device_nonce, const PasswordLookup& password_of,
                     LoginRequest* request = nullptr);

} // namespace ovix
