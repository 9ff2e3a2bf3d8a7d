#include "onvif/UserMessages.h"

#include "onvif/BoundedXml.h"
#include "onvif/Namespaces.h"
#include "onvif/WsDiscovery.h"

namespace onvif {

Request get_users() {
    return {"GetUsers", "<tds:GetUsers/>"};
}

bool read_users(pugi::xml_node response, std::vector<UserAccount>& out) {
    out.clear();
    for (pugi::xml_node user = child(response, ns::kDevice, "User"); user && out.size() < kMaxListItems; user = next_same(user)) {
        UserAccount account{child_text(user, ns::kSchema, "Username"), child_text(user, ns::kSchema, "UserLevel")};
        if (!account.name.empty()) out.push_back(std::move(account));
    }
    return true;
}

Request set_user(const UserAccount& account, const std::string& password) {
    return {"SetUser", "<tds:SetUser><tds:User><tt:Username>" + xml_escape(account.name) + "</tt:Username><tt:Password>" +
                           xml_escape(password) + "</tt:Password><tt:UserLevel>" + xml_escape(account.level) +
                           "</tt:UserLevel></tds:User></tds:SetUser>"};
}

} // namespace onvif
