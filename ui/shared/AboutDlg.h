#pragma once
#include <QDialog>

// The about box: the program icon, its name and version, and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    static constexpr int kOkId = 1;
};
