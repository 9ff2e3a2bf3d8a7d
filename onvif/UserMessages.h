#pragma once
#include "onvif/DeviceMessages.h"

#include <string>
#include <vector>

// The camera's accounts: GetUsers and SetUser.
namespace onvif {

struct UserAccount {
    std::string name;
    std::string level;  // "Administrator", "Operator", "User", "Anonymous", "Extended"
    bool operator==(const UserAccount&) const = default;
};

Request get_users();
// Accounts without a name are left out; a camera may list none.
bool read_users(pugi::xml_node response, std::vector<UserAccount>& out);

// A new password for one account. The level must be sent too, so it is the account's own,
// read before. The password travels as the body's text, as the call is defined: over plain
// HTTP anyone on the LAN between can read it.
Request set_user(const UserAccount& account, const std::string& password);

} // namespace onvif
