#include "batch/PortChoice.h"

#include "batch/DeviceTable.h"
#include "batch/OnvifPort.h"
#include "batch/OwnProtocolPort.h"

const char* job_protocol_name(JobProtocol protocol) {
    switch (protocol) {
    case JobProtocol::own: return "own";
    case JobProtocol::onvif: return "onvif";
    case JobProtocol::automatic: break;
    }
    return "auto";
}

bool parse_job_protocol(const std::string& text, JobProtocol& out) {
    for (JobProtocol protocol : {JobProtocol::automatic, JobProtocol::own, JobProtocol::onvif}) {
        if (text != job_protocol_name(protocol)) continue;
        out = protocol;
        return true;
    }
    return false;
}

bool reaches(const DeviceRow& row, JobProtocol protocol) {
    switch (protocol) {
    case JobProtocol::own: return row.protocol != CameraProtocol::onvif;
    case JobProtocol::onvif: return row.protocol != CameraProtocol::own;
    case JobProtocol::automatic: break;
    }
    return true;
}

bool over_onvif(const DeviceRow& row, JobProtocol protocol) {
    return row.protocol == CameraProtocol::onvif || (row.protocol == CameraProtocol::both && protocol == JobProtocol::onvif);
}

namespace {

std::unique_ptr<DevicePort> port_for(CDiscovery& discovery, DeviceTable& devices, const PortChoice& choice,
                                     const WorkerContext& context, StepReporter& reporter) {
    const DeviceRow row = devices.row(static_cast<size_t>(context.row)).value_or(DeviceRow{});
    if (!over_onvif(row, choice.protocol)) return std::make_unique<OwnProtocolPort>(discovery, devices, context, reporter);
    WorkerContext onvif_context = context;
    if (choice.onvif_login) {
        onvif_context.user = choice.onvif_user;
        onvif_context.password = choice.onvif_password;
    }
    return std::make_unique<OnvifPort>(devices, onvif_context, reporter,
                                       OnvifTarget{row.uuid, row.xaddr, choice.expected_version},
                                       std::make_unique<WsdCameraFinder>(choice.prober, choice.listener));
}

} // namespace

BatchJob::PortMaker choose_ports(CDiscovery& discovery, DeviceTable& devices, PortChoice choice) {
    if (!choice.listener) choice.listener = std::make_shared<HelloListener>(choice.prober);
    return [&discovery, &devices, choice = std::move(choice)](const WorkerContext& context, StepReporter& reporter) {
        return port_for(discovery, devices, choice, context, reporter);
    };
}

BatchJob::PortMaker choose_ports(CDiscovery& discovery, DeviceTable& devices, const PortChoice* choice) {
    return [&discovery, &devices, choice](const WorkerContext& context, StepReporter& reporter) {
        return port_for(discovery, devices, *choice, context, reporter);
    };
}
