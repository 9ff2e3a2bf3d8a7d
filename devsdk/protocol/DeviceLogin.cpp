#include "devsdk/protocol/DeviceLogin.h"

#include "devsdk/ovix_client.h"
#include "devsdk/protocol/LoginProof.h"

namespace ovix {

int32_t verify_login(const Frame& frame, const Nonce& device_nonce, const PasswordLookup& password_of,
                     LoginRequest* request) {
    LoginRequest login;
    if (frame.kind != static_cast<uint16_t>(Kind::Login) || !decode(frame.payload, login)) return OVIX_ERR_BAD_REQUEST;
    if (request) *request = login;
    if (login.major != kProtocolMajor) return OVIX_ERR_VERSION;
    std::optional<std::string> password = password_of(login.user);
    if (!password) return OVIX_ERR_USER_UNKNOWN;
    if (!proof_matches(login_proof(login.user, *password, device_nonce, login.client_nonce), login.proof))
        return OVIX_ERR_PASSWORD;
    return OVIX_OK;
}

} // namespace ovix
