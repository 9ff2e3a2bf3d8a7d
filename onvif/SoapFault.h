#pragma once
#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <vector>

// What a device call came to. A SOAP fault or an HTTP error becomes one of a few kinds that a
// job can act on; the fault's own words stay in the result for the report.
namespace onvif {

enum class Status {
    ok,
    not_authorized,  // 401, or ter:NotAuthorized: wrong user or password, or a clock too far off
    not_supported,   // the device does not do this (ter:ActionNotSupported and kin)
    busy,            // 503, or a fault that says so: try again later
    bad_argument,    // ter:InvalidArgVal, ter:InvalidArgs and the specific Invalid... subcodes
    fault,           // any other fault or HTTP error
    unreachable,     // no HTTP answer: connection refused, timeout
    bad_reply,       // an answer we cannot read: too large, not XML, not the expected message
};
const char* status_name(Status status);

struct Result {
    Status status = Status::ok;
    int http_status = 0;
    std::string code;     // the fault code's local name: "Sender", "Receiver", ...
    std::string subcode;  // the innermost subcode's local name: "NotAuthorized", ...
    std::string text;     // the fault's reason, or what went wrong
    bool ok() const { return status == Status::ok; }
};
Result make_result(Status status, std::string text, int http_status = 0);
// One line for the log and the report: "not authorized (HTTP 400, Sender/NotAuthorized: ...)".
std::string describe(const Result& result);

struct SoapFault {
    std::string code;
    std::vector<std::string> subcodes;  // outermost first, local names
    std::string reason;
};

// Reads a Fault element of a SOAP 1.2 (or 1.1) envelope.
SoapFault read_fault(pugi::xml_node fault);
Status classify(int http_status, const SoapFault* fault);

// A whole SOAP 1.2 envelope holding one fault; subcode is an ONVIF error name
// ("NotAuthorized"), or empty for none.
std::string build_fault(std::string_view code, std::string_view subcode, std::string_view reason);

} // namespace onvif
