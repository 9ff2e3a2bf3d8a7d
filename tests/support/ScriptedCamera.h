#pragma once
// An ONVIF camera's device service in this process, behind the transports it makes: each
// operation gets its scripted answers in turn (the last one stays), else an empty response;
// status 0 is no answer at all. Records "<operation>@<host>" per call and "upload@<host>".
// Used from one thread.
#include "onvif/DeviceReplies.h"
#include "onvif/HttpTransport.h"
#include "onvif/Soap.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace support {

class ScriptedCamera : public std::enable_shared_from_this<ScriptedCamera> {
public:
    static onvif::HttpResponse reply(const std::string& element) { return {200, onvif::build_response(element), {}}; }
    static onvif::HttpResponse fault(int status, const char* subcode) { return {status, onvif::build_fault("Sender", subcode, "scripted"), {}}; }

    std::map<std::string, std::deque<onvif::HttpResponse>> answers;  // set before use
    onvif::UploadResult upload_result;
    std::vector<std::string> calls;
    std::unique_ptr<onvif::HttpTransport> transport() { return std::make_unique<Transport>(shared_from_this()); }

private:
    struct Transport : onvif::HttpTransport {
        explicit Transport(std::shared_ptr<ScriptedCamera> owner) : camera(std::move(owner)) {}
        onvif::TransportStatus post(const onvif::HttpRequest& request, onvif::HttpResponse& response) override {
            // The operation is the SOAP action's last part: action=".../<operation>".
            const std::string& type = request.content_type;
            const size_t end = type.rfind('"'), start = type.rfind('/', end) + 1;
            response = camera->answer(type.substr(start, end - start), request.url);
            return response.status == 0 ? onvif::TransportStatus::unreachable : onvif::TransportStatus::ok;
        }
        onvif::UploadResult upload(const onvif::HttpUpload& request) override {
            camera->answer("upload", request.url);
            return camera->upload_result;
        }
        std::shared_ptr<ScriptedCamera> camera;
    };

    onvif::HttpResponse answer(const std::string& operation, const std::string& url) {
        const size_t host = url.find("://") + 3;
        calls.push_back(operation + "@" + url.substr(host, url.find_first_of(":/", host) - host));
        auto& queue = answers[operation];
        if (queue.empty()) return reply(onvif::empty_response(operation));
        onvif::HttpResponse next = queue.front();
        if (queue.size() > 1) queue.pop_front();
        return next;
    }
};

} // namespace support
