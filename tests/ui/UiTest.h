#pragma once
// Helpers for the window tests: the test language file, waits that keep the event loop
// turning, and a batch window wired to fakes instead of the user and the firewall.
#include "foundation/Clock.h"
#include "ui/batch/fleetsetDlg.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

namespace ui_test {

inline const std::string kLangIni = FLEETSET_UI_TEST_DIR "/lumora_test.ini";

// The test file's text of a key: "t-" and the key in lower case without "IDS_".
inline QString t(const char* key) { return QStringLiteral("t-") + QString::fromLatin1(key).mid(4).toLower(); }

inline bool wait_for(const std::function<bool()>& done) {
    const int64_t deadline = Clock::now_ms() + 60000;
    while (!done()) {
        if (Clock::now_ms() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        Clock::sleep_ms(2);
    }
    return true;
}

inline void settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/fleetset-ui-XXXXXX";
        if (mkdtemp(pattern)) path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

class BatchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(trace_dir.path.empty());
        DiscoveryConfig config;
        config.trace_directory = trace_dir.path;
        window = std::make_unique<CfleetsetDlg>(nullptr, config);
        window->m_lang_ini = kLangIni;
        window->set_confirm([this](QWidget*, const QString& text, const QString& caption) {
            questions.push_back({text, caption});
            return answer_ok;
        });
        window->set_choose_file([](QWidget*, const QString&, const QString&) { return QString(); });
        window->set_firewall_check([this](const std::function<void(const std::string&)>&) {
            firewall_thread = std::this_thread::get_id();
            ++firewall_checks;
        });
    }
    void TearDown() override { window.reset(); }

    void open() {
        window->show();
        settle();
    }
    template <class T = QWidget>
    T* ctl(int id) { return window->control_as<T>(id); }

    TempDir trace_dir;
    std::unique_ptr<CfleetsetDlg> window;
    std::vector<std::pair<QString, QString>> questions;  // text, caption
    bool answer_ok = false;
    std::atomic<int> firewall_checks{0};
    std::thread::id firewall_thread;
};

} // namespace ui_test
