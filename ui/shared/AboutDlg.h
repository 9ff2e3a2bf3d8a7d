#pragma once
#include <QDialog>
#include <QString>

#include <functional>

// The about box: the program icon, its name and version, and OK. Its texts come from the
// window's language file; the version is the program's own.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // The text of an IDS_ key; a key without text falls back to the Chinese of the original box.
    using Text = std::function<QString(const char* key)>;
    explicit CAboutDlg(QWidget* parent = nullptr, const Text& text = {});

    static constexpr int kOkId = 1;
};
