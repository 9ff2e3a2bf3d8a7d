#pragma once
#include <string>
#include <string_view>
#include <vector>

// Reading and writing ONVIF scopes: URIs "onvif://www.onvif.org/<category>/<value>", where a
// value's spaces and other reserved characters are percent-escaped.
namespace onvif {

std::string percent_decode(std::string_view text);
// Escapes what a scope list cannot carry as it is: white space, '%', controls and non-ASCII.
std::string percent_encode(std::string_view text);

// The decoded value of the first ONVIF scope of that category (compared without regard to
// case), "" when there is none. A category's value may be a path ("location" gives
// "country/china").
std::string scope_value(const std::vector<std::string>& scopes, std::string_view category);
// The MAC address from a "MAC" or "MacAddress" scope, as "00:1A:2B:3C:4D:5E", with ':' or
// '-' between the pairs or none; "" when no scope carries a readable one.
std::string scope_mac(const std::vector<std::string>& scopes);
// A MAC address in any of those spellings as "00:1A:2B:3C:4D:5E"; "" when it is none.
std::string normalized_mac(std::string_view text);
std::string onvif_scope(std::string_view category, std::string_view value);

} // namespace onvif
