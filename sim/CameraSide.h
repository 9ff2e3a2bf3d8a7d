#pragma once

// The network lab (scripts/netlab.sh) puts the simulated cameras in a network namespace of
// their own, on the far side of a veth pair from the tool, as cameras on a LAN are other hosts:
// a client that turns multicast loopback off still hears them, and their broadcasts cross a
// link as a real camera's do. While a CameraSide lives, sockets the calling thread opens
// belong to the cameras' namespace; a socket stays where it was made, so only the opening
// needs it. Outside such a lab (FLEETSET_LAB_CAMERAS unset) it changes nothing.
class CameraSide {
public:
    CameraSide();
    ~CameraSide();
    CameraSide(const CameraSide&) = delete;
    CameraSide& operator=(const CameraSide&) = delete;

private:
    int m_home = -1;  // the thread's own namespace, to return to
};
