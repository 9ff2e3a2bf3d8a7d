#pragma once
#include "batch/BatchJob.h"
#include "batch/CameraFinder.h"
#include "onvif/WsdProber.h"

#include <memory>

#include <string>

class CDiscovery;
class DeviceTable;
struct DeviceRow;

// Which protocol a job speaks to a camera: auto takes ours where the camera has it (it can
// do every step) and ONVIF for the cameras that speak only that; own and onvif keep to one.
enum class JobProtocol { automatic, own, onvif };
const char* job_protocol_name(JobProtocol protocol);  // "auto", "own", "onvif"
bool parse_job_protocol(const std::string& text, JobProtocol& out);

// Whether the job reaches this row at all, and whether it does so over ONVIF.
bool reaches(const DeviceRow& row, JobProtocol protocol);
bool over_onvif(const DeviceRow& row, JobProtocol protocol);

struct PortChoice {
    JobProtocol protocol = JobProtocol::automatic;
    // What an upgrade must leave an ONVIF camera on when the file has no header of ours.
    std::string expected_version;
    onvif::ProberConfig prober;  // how a worker finds its ONVIF camera again
    std::shared_ptr<HelloListener> listener{};  // the job's, for the cameras' Hellos; empty: made
    // The ONVIF cameras' own login, when it differs from the job's (the window keeps one).
    bool onvif_login = false;
    std::string onvif_user{};
    std::string onvif_password{};
};

// The port for each worker by its row: ours (OwnProtocolPort over `discovery`) or ONVIF
// (OnvifPort with a WS-Discovery finder), as `choice` says for the row's protocols.
BatchJob::PortMaker choose_ports(CDiscovery& discovery, DeviceTable& devices, PortChoice choice);
// The same, reading *choice at each worker's start: change it only while no job runs.
BatchJob::PortMaker choose_ports(CDiscovery& discovery, DeviceTable& devices, const PortChoice* choice);
