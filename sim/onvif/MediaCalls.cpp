#include "sim/onvif/MediaCalls.h"

#include "onvif/BoundedXml.h"
#include "onvif/Soap.h"

#include <string>

namespace {

constexpr const char* kDeclarations =
    " xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\" xmlns:tt=\"http://www.onvif.org/ver10/schema\"";

OnvifAnswer ok(const std::string& body) {
    return OnvifAnswer{200, onvif::build_response(body), {}, {}};
}

std::string video_source_configuration() {
    return "<tt:VideoSourceConfiguration token=\"VideoSourceConfig_1\"><tt:Name>VideoSourceConfig_1</tt:Name>"
           "<tt:UseCount>1</tt:UseCount><tt:SourceToken>VideoSource_1</tt:SourceToken>"
           "<tt:Bounds x=\"0\" y=\"0\" width=\"1920\" height=\"1080\"/></tt:VideoSourceConfiguration>";
}

std::string video_encoder_configuration() {
    return "<tt:VideoEncoderConfiguration token=\"VideoEncoderConfig_1\"><tt:Name>VideoEncoderConfig_1</tt:Name>"
           "<tt:UseCount>1</tt:UseCount><tt:Encoding>H264</tt:Encoding>"
           "<tt:Resolution><tt:Width>1920</tt:Width><tt:Height>1080</tt:Height></tt:Resolution>"
           "<tt:Quality>5</tt:Quality><tt:RateControl><tt:FrameRateLimit>15</tt:FrameRateLimit>"
           "<tt:EncodingInterval>1</tt:EncodingInterval><tt:BitrateLimit>4096</tt:BitrateLimit></tt:RateControl>"
           "<tt:H264><tt:GovLength>30</tt:GovLength><tt:H264Profile>Main</tt:H264Profile></tt:H264>"
           "<tt:Multicast><tt:Address><tt:Type>IPv4</tt:Type><tt:IPv4Address>0.0.0.0</tt:IPv4Address></tt:Address>"
           "<tt:Port>0</tt:Port><tt:TTL>1</tt:TTL><tt:AutoStart>false</tt:AutoStart></tt:Multicast>"
           "<tt:SessionTimeout>PT60S</tt:SessionTimeout></tt:VideoEncoderConfiguration>";
}

std::string profile(const char* element) {
    return std::string("<") + element + " token=\"Profile_1\" fixed=\"true\"><tt:Name>MainStream</tt:Name>" +
           video_source_configuration() + video_encoder_configuration() + "</" + element + ">";
}

} // namespace

OnvifAnswer run_media_call(OnvifCallContext& call, pugi::xml_node operation) {
    const std::string name(onvif::local_name(operation.name()));
    if (name == "GetProfiles")
        return ok(std::string("<trt:GetProfilesResponse") + kDeclarations + ">" + profile("trt:Profiles") +
                  "</trt:GetProfilesResponse>");
    if (name == "GetProfile")
        return ok(std::string("<trt:GetProfileResponse") + kDeclarations + ">" + profile("trt:Profile") +
                  "</trt:GetProfileResponse>");
    if (name == "GetVideoSources")
        return ok(std::string("<trt:GetVideoSourcesResponse") + kDeclarations +
                  "><trt:VideoSources token=\"VideoSource_1\"><tt:Framerate>15</tt:Framerate><tt:Resolution>"
                  "<tt:Width>1920</tt:Width><tt:Height>1080</tt:Height></tt:Resolution></trt:VideoSources>"
                  "</trt:GetVideoSourcesResponse>");
    if (name == "GetStreamUri")
        return ok(std::string("<trt:GetStreamUriResponse") + kDeclarations + "><trt:MediaUri><tt:Uri>rtsp://" +
                  call.camera.current().ip_address +
                  ":554/stream1</tt:Uri><tt:InvalidAfterConnect>false</tt:InvalidAfterConnect>"
                  "<tt:InvalidAfterReboot>false</tt:InvalidAfterReboot><tt:Timeout>PT0S</tt:Timeout></trt:MediaUri>"
                  "</trt:GetStreamUriResponse>");
    return soap_fault_answer(500, "Receiver", "ActionNotSupported", "not supported by this device");
}
