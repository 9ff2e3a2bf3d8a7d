// The batch window's inputs kept between runs: the texts of 18 controls, written after each
// launch that passed its checks and read back when the window opens.
#include "ui/batch/fleetsetDlg.h"

#include "ui/batch/IpAddressField.h"
#include "ui/batch/SettingsStore.h"

#include <QComboBox>
#include <QLineEdit>

int CfleetsetDlg::save_cfg_param() {
    SettingsValues values;
    for (const SettingsValue& v : kSettingsValues) {
        QWidget* widget = control(v.control);
        if (auto* address = qobject_cast<IpAddressField*>(widget))
            values[v.name] = address->address();
        else if (auto* edit = qobject_cast<QLineEdit*>(widget))
            values[v.name] = edit->text();
        else if (auto* combo = qobject_cast<QComboBox*>(widget))
            values[v.name] = combo->currentText();
    }
    return settings().save_cfg_param(values);
}

int CfleetsetDlg::load_cfg_param() {
    SettingsValues values;
    const int result = settings().load_cfg_param(values);
    for (const auto& [name, text] : values) {
        for (const SettingsValue& v : kSettingsValues) {
            if (name != QLatin1String(v.name) || !v.restored) continue;
            if (auto* address = control_as<IpAddressField>(v.control))
                address->set_address(text);
            else if (auto* edit = control_as<QLineEdit>(v.control))
                edit->setText(text);
        }
    }
    return result;
}

SettingsStore& CfleetsetDlg::settings() {
    if (!m_settings) m_settings = std::make_unique<SettingsStore>();
    return *m_settings;
}

void CfleetsetDlg::set_settings_store(std::unique_ptr<SettingsStore> store) { m_settings = std::move(store); }
