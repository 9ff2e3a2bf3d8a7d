#pragma once
#include "batch/AddressCheck.h"

#include <functional>
#include <string>
#include <vector>

// The rules a launch passes before anything is sent, shared by the batch window and
// fleetset-cli: each front end turns a refusal into its own box or message (and exit code 2).
// Fixed addresses are checked by AddressCheck.

enum class LaunchRefusal {
    None,
    NoUserName,
    FirmwarePathEmpty,
    FirmwarePathShort,     // shorter than a path to a *.update file can be
    FirmwareMissing,       // no readable file there
    FirmwareNoHeader,      // a file without our version header
    RangeInvalid,          // neither end is an address
    RangePrefixMismatch,   // the ends differ before their last part
    RangeEndBelowStart,
    RangeUnusable,         // an end no camera can have
    NoFreeAddress,         // every address of the range is a listed camera's
    NoDeviceTicked,
};

// The language key of a refusal's text ("" for None).
const char* launch_refusal_key(LaunchRefusal refusal);

// A range of addresses handed out to the devices of an address change: the first three
// parts are shared, the last part runs from first to last.
struct AddressRange {
    std::string prefix;  // "10.77.1"
    int first = 0;
    int last = 0;
};

// A dotted IPv4 address, neither 0.0.0.0 nor the broadcast address.
bool is_valid_ip(const std::string& text);

// The range from its two ends. An invalid end takes the other end's value (one good address
// makes a range of one; `first` and `last` are updated so a front end can show it). A
// reversed range is refused when `keep_order` says so, else turned round.
LaunchRefusal check_address_range(std::string& first, std::string& last, bool keep_order, AddressRange& out);

// The same from "FIRST-LAST" (or one address), turned round when reversed.
LaunchRefusal parse_address_range(const std::string& text, AddressRange& out);

// The range's addresses in ascending order, leaving out those a listed device already has
// and the network and broadcast addresses of the range's /24.
std::vector<std::string> free_addresses(const AddressRange& range, const std::function<bool(const std::string&)>& listed);

// The firmware path of an upgrade; `read_header` also opens the file for its version header.
LaunchRefusal check_firmware_path(const std::string& path, bool read_header);

// A shell command that would end the device's session under the steps after it.
bool is_disruptive_command(const std::string& command);
