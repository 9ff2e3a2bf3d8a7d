#pragma once
#include "ui/batch/fleetsetDlg.h"
#include "ui/ipctest/CIpcTest.h"

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;

// The start-up guide menu: the logo and one button per tool window. It owns the tool
// windows, so they are built once when the program starts and live until it ends.
class CGuideMenu : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int {
        BatchButton = 1101,
        TestButton = 1102,
        LogoFrame = 1105,
    };
    explicit CGuideMenu(QWidget* parent = nullptr);
    ~CGuideMenu() override;

    QWidget* control(int id) const;
    CfleetsetDlg& batch_window() { return m_batch; }
    CIpcTest& test_window() { return m_ipc_test; }

    // The language file of the menu's own texts; chosen at the first opening when empty.
    std::string m_lang_ini;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void on_init_dialog();
    void show_logo();
    void place_logo();
    void open_batch_window();
    void open_test_window();

    CfleetsetDlg m_batch;
    CIpcTest m_ipc_test;
    QPushButton* m_batch_button = nullptr;
    QPushButton* m_test_button = nullptr;
    QLabel* m_logo = nullptr;
    bool m_initialised = false;
};
