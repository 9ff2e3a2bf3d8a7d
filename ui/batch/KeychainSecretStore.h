#pragma once
#include "ui/batch/SecretStore.h"

#include <memory>

// The desktop's secret store (Secret Service or KWallet) through QtKeychain.
//
// Waiting: QtKeychain answers asynchronously. Reads, and the one-time probe, wait for the
// answer in a local event loop that takes no user input, bounded by two seconds; they run
// once at the window's start, before discovery or a job can post anything to it. Writes
// start the job and return at once, so a launch never waits; a failure reported later is
// logged and turns the store off, and the next save keeps the passwords in the file.
// A read that runs out of time turns the store off as well: it is not waited for twice.
//
// Availability is decided once: no application object, no bus, no secret service on the
// bus, or a probe read that fails or runs out of time all mean "not available".
class KeychainSecretStore : public SecretStore {
public:
    // The service name groups our entries in the keychain. bus_address names the D-Bus to
    // look for a secret service on; empty means the session bus (tests pass a dead one).
    explicit KeychainSecretStore(QString service = QStringLiteral("lumora/fleetsync"), QString bus_address = {});
    ~KeychainSecretStore() override;

    bool available() override;
    std::optional<QString> read(const QString& name) override;
    bool write(const QString& name, const QString& value) override;

private:
    struct State;  // shared with jobs that may finish after a call returned
    std::shared_ptr<State> m_state;
};
