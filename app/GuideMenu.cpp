#include "app/GuideMenu.h"

#include "firewall/FirewallRule.h"
#include "ui/shared/ProgramIcon.h"
#include "foundation/LangTable.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QVBoxLayout>

CGuideMenu::CGuideMenu(QWidget* parent) : QDialog(parent), m_batch(this), m_ipc_test(this) {
    setWindowTitle(QStringLiteral("guide_menu"));
    setWindowIcon(program_icon());

    m_batch_button = new QPushButton(QStringLiteral("upgrade"), this);
    m_batch_button->setObjectName(QString::number(BatchButton));
    m_batch_button->setDefault(true);
    m_test_button = new QPushButton(QStringLiteral("ipctest"), this);
    m_test_button->setObjectName(QString::number(TestButton));
    // Shipped hidden and disabled; nothing shows it.
    m_test_button->setVisible(false);
    m_test_button->setEnabled(false);
    m_logo = new QLabel(this);
    m_logo->setObjectName(QString::number(LogoFrame));
    m_logo->setFixedSize(kLogoWidth, kLogoHeight);

    connect(m_batch_button, &QPushButton::clicked, this, [this] { open_batch_window(); });
    connect(m_test_button, &QPushButton::clicked, this, [this] { open_test_window(); });

    // The logo is placed by hand (see place_logo); the buttons sit below it.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_batch_button);
    buttons->addWidget(m_test_button);
    buttons->addStretch(1);
    auto* outer = new QVBoxLayout(this);
    outer->addSpacing(kLogoHeight + 40);
    outer->addStretch(1);
    outer->addLayout(buttons);
    outer->addSpacing(16);
    setMinimumSize(kLogoWidth + 40, kLogoHeight + 120);
    resize(474, 300);

    // Discovery replies must get through the firewall; the check runs beside the window.
    m_batch.set_firewall_check([](const std::function<void(const std::string&)>& message) {
        ensure_firewall_rule(message);
    });
}

CGuideMenu::~CGuideMenu() = default;

QWidget* CGuideMenu::control(int id) const {
    switch (id) {
    case BatchButton: return m_batch_button;
    case TestButton: return m_test_button;
    case LogoFrame: return m_logo;
    default: return nullptr;
    }
}

void CGuideMenu::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous() && !m_initialised) on_init_dialog();
}

void CGuideMenu::on_init_dialog() {
    m_initialised = true;
    if (m_lang_ini.empty()) m_lang_ini = find_lang_ini(program_directory(), user_language_id());
    show_logo();
    setWindowTitle(QString::fromStdString(get_lang_string(m_lang_ini, "IDS_CUSTOM_TOOL")));
    m_batch_button->setText(QString::fromStdString(get_lang_string(m_lang_ini, "IDS_FLEETSET")));
    m_test_button->setText(QString::fromStdString(get_lang_string(m_lang_ini, "IDS_IPC_TEST")));
}

void CGuideMenu::show_logo() {
    // From the working directory, else beside the program or in the installed data
    // directory; stretched to the frame. No file anywhere leaves the frame empty.
    QImage image(QStringLiteral("./logo.bmp"));
    if (image.isNull()) image.load(QString::fromStdString(find_data_file("logo.bmp")));
    if (image.isNull()) {
        m_logo->clear();
        return;
    }
    m_logo->setPixmap(QPixmap::fromImage(
        image.scaled(kLogoWidth, kLogoHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    place_logo();
}

void CGuideMenu::place_logo() {
    m_logo->move((width() - m_logo->width()) / 2, (height() - m_logo->height()) / 4);
}

void CGuideMenu::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    place_logo();
}

void CGuideMenu::open_batch_window() { m_batch.exec(); }

void CGuideMenu::open_test_window() { m_ipc_test.exec(); }
