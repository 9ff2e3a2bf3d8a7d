#pragma once
// A desktop keychain for tests: its entries live in a map the test owns, so they outlive the
// settings store, as the desktop's do.
#include "ui/batch/SecretStore.h"

#include <QString>

#include <map>
#include <optional>

namespace support {

struct FakeSecrets : SecretStore {
    FakeSecrets(bool is_up, std::map<QString, QString>& entries) : up(is_up), kept(entries) {}
    bool available() override { return up; }
    std::optional<QString> read(const QString& name) override {
        return kept.count(name) ? std::optional<QString>(kept[name]) : std::nullopt;
    }
    bool write(const QString& name, const QString& value) override { return kept[name] = value, true; }
    bool up;
    std::map<QString, QString>& kept;
};

} // namespace support
