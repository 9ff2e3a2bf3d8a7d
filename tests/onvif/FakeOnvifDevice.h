#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

// A device service on 127.0.0.1 for the client's tests: answers the read calls with the
// messages in tests/onvif/messages, logs in one user ("admin") the way it is told, and keeps
// a clock of its own. Not the simulator: just enough to see each login and refusal.
class FakeOnvifDevice {
public:
    enum class Login { token, digest_md5, digest_sha256, digest_both, basic_only };
    struct Reply {
        int status;
        std::string body;
    };

    FakeOnvifDevice(Login login, std::string password);
    ~FakeOnvifDevice();

    std::string xaddr() const;

    // What a test may change while the device runs, and what the device recorded.
    struct State {
        int64_t clock_offset = 0;
        std::string nonce = "nonce-0";
        bool nonce_expired = false;            // the next digest is refused as stale
        std::map<std::string, Reply> replies;  // answers after the login, by operation
        // One line per request: "<operation> <how it logged in>", e.g. "GetScopes digest
        // SHA-256", "GetScopes token", "GetScopes refused", "GetScopes basic" (refused too),
        // "GetSystemDateAndTime".
        std::vector<std::string> log;
        std::set<std::string> token_nonces;
    };
    // Runs f on the state under the device's lock and returns what it returns.
    template <class F>
    auto with_state(F f) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f(m_state);
    }

private:
    Reply answer(const std::string& body, const std::string& authorization, const std::string& path);
    std::string check_login(const std::string& request, const std::string& authorization, const std::string& path, bool& refused);

    Login m_login;
    std::string m_password;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;

    std::mutex m_mutex;
    State m_state;
};
