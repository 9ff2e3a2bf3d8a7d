#include "ui/shared/AboutDlg.h"

#include "ui/shared/ProgramIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("关于 fleetset"));
    setWindowIcon(program_icon());

    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap::fromImage(program_icon_image(32)));
    auto* text = new QLabel(QString::fromUtf8("fleetset 1.0 版"), this);
    text->setObjectName(QStringLiteral("about_text"));
    auto* ok = new QPushButton(QString::fromUtf8("确定"), this);
    ok->setObjectName(QString::number(kOkId));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(text, 1, Qt::AlignVCenter);
    row->addSpacing(12);
    row->addWidget(ok, 0, Qt::AlignTop);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(row);
    setMinimumWidth(350);
}
