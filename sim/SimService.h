#pragma once

// One face that the fleet's cameras show the tool: discovery, or the device SDK.
// A service works on the fleet's cameras and owns its sockets and threads.
class SimService {
public:
    virtual ~SimService() = default;
    virtual const char* name() const = 0;
    // False (with the reason in the diagnostic log) when the service cannot run.
    virtual bool start() = 0;
    // Idempotent; after it no thread of the service touches a camera.
    virtual void stop() = 0;
};
