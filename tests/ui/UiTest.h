#pragma once
// Helpers for the window tests: the test language file, waits that keep the event loop
// turning, and a batch window wired to fakes instead of the user and the firewall.
#include "support/WindowTest.h"
#include "support/TempFile.h"
#include "ui/batch/SettingsStore.h"
#include "ui/batch/fleetsetDlg.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>

namespace ui_test {

using support::TempDir;

class BatchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(trace_dir.path().empty());
        DiscoveryConfig config;
        config.trace_directory = trace_dir.path();
        window = std::make_unique<CfleetsetDlg>(nullptr, config);
        window->m_lang_ini = kLangIni;
        window->set_settings_store(std::make_unique<SettingsStore>(settings_path()));
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
    // Whether each control is enabled, '1' or '0' in order.
    std::string enabled(std::initializer_list<int> ids) {
        std::string out;
        for (int id : ids) out += ctl(id)->isEnabled() ? '1' : '0';
        return out;
    }

    QString settings_path() const { return QString::fromStdString(trace_dir.path()) + "/fleetsync.ini"; }

    TempDir trace_dir;
    std::unique_ptr<CfleetsetDlg> window;
    std::vector<std::pair<QString, QString>> questions;  // text, caption
    bool answer_ok = false;
    std::atomic<int> firewall_checks{0};
    std::thread::id firewall_thread;
};

} // namespace ui_test
