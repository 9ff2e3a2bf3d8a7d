#pragma once

// The namespace URIs of the messages we write and read.
namespace onvif::ns {

inline constexpr const char* kSoapEnvelope = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr const char* kAddressing = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr const char* kDiscovery = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr const char* kDevice = "http://www.onvif.org/ver10/device/wsdl";
inline constexpr const char* kNetworkWsdl = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr const char* kSchema = "http://www.onvif.org/ver10/schema";
inline constexpr const char* kError = "http://www.onvif.org/ver10/error";
inline constexpr const char* kSecurity = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
inline constexpr const char* kSecurityUtility = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
inline constexpr const char* kPasswordDigest = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordDigest";
inline constexpr const char* kBase64Binary = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-soap-message-security-1.0#Base64Binary";

} // namespace onvif::ns
