#pragma once
#include "sim/onvif/OnvifCall.h"

// The little of the media service a Profile S client asks for before anything else: one
// profile on one video source, and where its stream would be. A general client (onvif-util)
// reads the profiles at its login and goes no further without them; the simulated camera
// streams nothing over RTSP, so the URI only names where it would. The calls share the
// device service's address, as ONVIF allows.
inline constexpr const char* kMediaNamespace = "http://www.onvif.org/ver10/media/wsdl";

// Unknown media calls answer ter:ActionNotSupported.
OnvifAnswer run_media_call(OnvifCallContext& call, pugi::xml_node operation);
