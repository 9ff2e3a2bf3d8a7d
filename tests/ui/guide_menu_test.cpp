// The guide menu: texts, the hidden test button, the logo, and opening the batch window.
#include "UiTest.h"
#include "app/GuideMenu.h"
#include "ui/shared/ProgramIcon.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <unistd.h>

using namespace ui_test;

namespace {

class GuideMenu : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(work_dir.path().empty());
        ASSERT_NE(getcwd(old_dir, sizeof old_dir), nullptr);
        // The logo and the discovery trace files are relative to the working directory.
        ASSERT_EQ(chdir(work_dir.path().c_str()), 0);
    }
    void TearDown() override {
        menu.reset();
        ASSERT_EQ(chdir(old_dir), 0);
    }
    void make_menu() {
        menu = std::make_unique<CGuideMenu>();
        menu->m_lang_ini = kLangIni;
        menu->batch_window().m_lang_ini = kLangIni;
        menu->batch_window().set_firewall_check([](const std::function<void(const std::string&)>&) {});
        menu->show();
        settle();
    }

    TempDir work_dir;
    char old_dir[4096] = {};
    std::unique_ptr<CGuideMenu> menu;
};

TEST_F(GuideMenu, TextsButtonsAndNoLogoWithoutItsFile) {
    make_menu();
    EXPECT_EQ(menu->windowTitle(), t("IDS_CUSTOM_TOOL"));
    auto* batch = qobject_cast<QPushButton*>(menu->control(CGuideMenu::BatchButton));
    auto* test = qobject_cast<QPushButton*>(menu->control(CGuideMenu::TestButton));
    ASSERT_TRUE(batch && test);
    EXPECT_EQ(batch->text(), QString::fromUtf8("批量 t-fleetset"));
    EXPECT_TRUE(batch->isDefault() && batch->isVisible());
    EXPECT_EQ(test->text(), t("IDS_IPC_TEST"));
    EXPECT_TRUE(test->isHidden() && !test->isEnabled());
    auto* frame = qobject_cast<QLabel*>(menu->control(CGuideMenu::LogoFrame));
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->pixmap().isNull()) << "no logo.bmp in the working directory";
}

TEST_F(GuideMenu, LogoFromTheWorkingDirectoryScaledAndPlaced) {
    QImage picture(100, 40, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save("logo.bmp", "BMP"));
    make_menu();
    auto* frame = qobject_cast<QLabel*>(menu->control(CGuideMenu::LogoFrame));
    ASSERT_NE(frame, nullptr);
    const QPixmap shown = frame->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.size(), QSize(kLogoWidth, kLogoHeight));
    EXPECT_EQ(frame->pos(), QPoint((menu->width() - kLogoWidth) / 2, (menu->height() - kLogoHeight) / 4));
    auto* batch = menu->control(CGuideMenu::BatchButton);
    EXPECT_GE(batch->y(), frame->y() + frame->height()) << "the buttons sit below the logo";

    menu->resize(menu->width() + 200, menu->height() + 100);
    settle();
    EXPECT_EQ(frame->pos(), QPoint((menu->width() - kLogoWidth) / 2, (menu->height() - kLogoHeight) / 4));
}

TEST_F(GuideMenu, FirstButtonOpensTheBatchWindowModallyAndReturns) {
    make_menu();
    bool opened_modal = false;
    QTimer::singleShot(0, [&] {
        opened_modal = menu->batch_window().isVisible() && menu->batch_window().isModal();
        menu->batch_window().close();
    });
    qobject_cast<QPushButton*>(menu->control(CGuideMenu::BatchButton))->click();
    EXPECT_TRUE(opened_modal);
    EXPECT_FALSE(menu->batch_window().isVisible());
    EXPECT_TRUE(menu->isVisible()) << "the menu stays open underneath";
    EXPECT_EQ(menu->batch_window().windowTitle(), QString::fromUtf8("批量 t-fleetset"));
}

} // namespace
