#pragma once
#include <QString>

#include <optional>

// Where the settings layer keeps the two passwords when the desktop offers a secret store.
// The desktop keychain is the real one (KeychainSecretStore); tests hand in a fake.
class SecretStore {
public:
    virtual ~SecretStore() = default;

    // Whether secrets can be kept here now. Implementations decide once and remember, so a
    // missing store costs nothing after the first question.
    virtual bool available() = 0;
    // The secret stored under the name; nothing when absent or unreadable.
    virtual std::optional<QString> read(const QString& name) = 0;
    // false when the secret could not be handed to the store.
    virtual bool write(const QString& name, const QString& value) = 0;
};
