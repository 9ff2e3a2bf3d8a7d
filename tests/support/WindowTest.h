#pragma once
// What every window test needs: the test language file (FLEETSET_UI_TEST_DIR), its texts, and
// waits that keep the event loop turning.
#include "support/Eventually.h"

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <string>

namespace ui_test {

inline const std::string kLangIni = FLEETSET_UI_TEST_DIR "/lumora_test.ini";

// The test file's text of a key: "t-" and the key in lower case without "IDS_".
inline QString t(const char* key) { return QStringLiteral("t-") + QString::fromLatin1(key).mid(4).toLower(); }

// Keeps the event loop turning while it waits: the window's reports arrive through it.
inline bool wait_for(const std::function<bool()>& done) {
    return support::eventually([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    });
}

inline void settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

} // namespace ui_test
