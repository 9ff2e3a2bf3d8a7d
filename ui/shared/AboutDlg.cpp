#include "ui/shared/AboutDlg.h"

#include "ui/shared/ProgramIcon.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent, const Text& text) : QDialog(parent) {
    const auto say = [&text](const char* key, const char* fallback) {
        const QString found = text ? text(key) : QString();
        return found.isEmpty() ? QString::fromUtf8(fallback) : found;
    };
    const QString version = QCoreApplication::applicationVersion().isEmpty() ? QStringLiteral(FLEETSET_VERSION)
                                                                              : QCoreApplication::applicationVersion();
    setWindowTitle(say("IDS_ABOUT_TITLE", "关于 fleetset"));
    setWindowIcon(program_icon());

    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap::fromImage(program_icon_image(32)));
    auto* label = new QLabel(say("IDS_ABOUT_VERSION", "fleetset %1 版").arg(version), this);
    label->setObjectName(QStringLiteral("about_text"));
    auto* ok = new QPushButton(say("IDS_OK", "确定"), this);
    ok->setObjectName(QString::number(kOkId));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(label, 1, Qt::AlignVCenter);
    row->addSpacing(12);
    row->addWidget(ok, 0, Qt::AlignTop);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(row);
    setMinimumWidth(350);
}
