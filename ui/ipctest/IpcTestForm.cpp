#include "ui/ipctest/IpcTestForm.h"

#include "ui/ipctest/CPTZButton.h"
#include "ui/ipctest/IpcTestIds.h"
#include "ui/ipctest/QrCodeView.h"
#include "ui/ipctest/VideoFrameView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include <cmath>

using namespace ipctest_ids;

namespace {

enum class Kind { Label, Value, Combo, Group, Check, Edit, Button, Ptz, DeviceList, ResultList, Video, QrCode };

// The template: id, kind, caption, place in dialog units, and the key of the text the
// window sets at its start (empty: the caption stays). Where the original's boxes cut their
// captions in our fonts, a box is wider or starts further left, into space nothing else uses. Listed in creation order, which is
// the stacking order: each frame comes before the controls drawn inside it.
struct TemplateControl {
    int id;
    Kind kind;
    const char* caption;
    int x, y, w, h;
    const char* key;
};

// A drop-down combo box's template height includes its open list; closed it is one line.
constexpr int kComboLineHeight = 12;

constexpr TemplateControl kTemplate[] = {
    {NetworkCardLabel, Kind::Label, "Network Card", 7, 9, 66, 8, "IDS_NETWORK_CARD"},
    {NetworkCardCombo, Kind::Combo, "", 75, 7, 146, kComboLineHeight, ""},
    {AutoTestGroup, Kind::Group, "Auto Test", 7, 41, 244, 57, "IDS_CONFIGURATION_ITEM"},
    {AutoShowCheck, Kind::Check, "auto show", 15, 57, 64, 10, "IDS_AUTO_SHOW"},
    {VersionCheckBox, Kind::Check, "version check", 15, 70, 72, 10, "IDS_VERSION_CHECK"},
    {VersionEdit, Kind::Edit, "", 88, 68, 88, 12, ""},
    {FormatHintLabel, Kind::Label, "format hint", 88, 84, 160, 8, "IDS_FORMAT_HINT"},
    {StartButton, Kind::Button, "start", 181, 59, 66, 24, "IDS_START_EXECUTION"},
    {SearchButton, Kind::Button, "search_device", 7, 102, 86, 24, "IDS_REFRESH"},
    {DeviceList, Kind::DeviceList, "", 7, 127, 245, 119, ""},
    {TfCardLabel, Kind::Label, "TF card:", 7, 257, 46, 8, ""},
    {TfCardValue, Kind::Value, "NONE", 48, 257, 120, 8, ""},
    {PidLabel, Kind::Label, "APP PID:", 7, 273, 46, 8, ""},
    {PidValue, Kind::Value, "NONE", 48, 273, 120, 8, ""},
    {UidLabel, Kind::Label, "APP UID:", 7, 280, 46, 8, ""},
    {UidValue, Kind::Value, "NONE", 48, 280, 120, 8, ""},
    {QrCodeLabel, Kind::Label, "APP QRCode:", 7, 288, 60, 8, ""},
    {QrCodeFrame, Kind::QrCode, "", 7, 299, 88, 79, ""},
    {VideoFrame, Kind::Video, "", 264, 7, 494, 240, ""},
    {Zoom1xButton, Kind::Button, "1X_magnify", 389, 249, 70, 17, "IDS_1X_MAGNIFY"},
    {Zoom5xButton, Kind::Button, "5X_magnify", 462, 249, 70, 17, "IDS_5X_MAGNIFY"},
    {ZoomResetButton, Kind::Button, "reset", 535, 249, 70, 17, "IDS_RESET"},
    {AutoTestItemGroup, Kind::Group, "auto_test_item", 263, 262, 120, 142, "IDS_AUTO_TEST_ITEM"},
    {ResultList, Kind::ResultList, "", 267, 272, 113, 132, ""},
    {TestItemGroup, Kind::Group, "test_item", 388, 268, 157, 136, "IDS_TEST_ITEM"},
    {IrcutOpenButton, Kind::Button, "open ircut", 393, 281, 47, 23, "IDS_IRCUT_OPEN"},
    {IrcutCloseButton, Kind::Button, "close ircut", 393, 306, 47, 23, "IDS_IRCUT_CLOSE"},
    {SpeakerButton, Kind::Button, "speaker", 443, 281, 47, 23, "IDS_SPEAKER"},
    {MicButton, Kind::Button, "mic", 443, 306, 47, 23, "IDS_MIC"},
    {WhiteLightButton, Kind::Button, "white_light", 493, 281, 47, 23, "IDS_WHITE_LIGHT"},
    {InfraredLampButton, Kind::Button, "infrared_lamp", 493, 306, 47, 23, "IDS_INFRARED_LAMP"},
    {PtzUpButton, Kind::Ptz, "UP", 444, 342, 47, 23, ""},
    {PtzLeftButton, Kind::Ptz, "LEFT", 394, 367, 47, 23, ""},
    {PtzDownButton, Kind::Ptz, "DOWN", 444, 367, 47, 23, ""},
    {PtzRightButton, Kind::Ptz, "RIGHT", 494, 367, 47, 23, ""},
    {ConfigItemGroup, Kind::Group, "configurate_item", 547, 268, 204, 96, "IDS_CONFIGURATION_ITEM"},
    {LightModeCombo, Kind::Combo, "", 554, 282, 77, kComboLineHeight, ""},
    {LampCombo, Kind::Combo, "", 554, 297, 77, kComboLineHeight, ""},
    {DirectionCombo, Kind::Combo, "", 554, 312, 77, kComboLineHeight, ""},
    {MicConfigCheck, Kind::Check, "mic_config", 639, 284, 80, 10, "IDS_MIC"},
    {SpeakerConfigCheck, Kind::Check, "speaker_config", 639, 296, 80, 10, "IDS_SPEAKER"},
    {AutoConfigCheck, Kind::Check, "auto_config", 636, 314, 113, 10, "IDS_AUTO_CONFIG"},
    {ConfigButton, Kind::Button, "config", 699, 329, 50, 30, "IDS_SET"},
    {PassButton, Kind::Button, "PASS", 554, 368, 96, 23, ""},
    {NgButton, Kind::Button, "NG", 654, 368, 96, 23, ""},
};

// Dialog units to pixels from the window font, as dialog templates are measured: a
// horizontal unit is a quarter of the average character width, a vertical one an eighth of
// the character height.
struct DialogUnits {
    double x;
    double y;
    QRect map(int left, int top, int width, int height) const {
        return QRect(static_cast<int>(std::lround(left * x)), static_cast<int>(std::lround(top * y)),
                     static_cast<int>(std::lround(width * x)), static_cast<int>(std::lround(height * y)));
    }
};

DialogUnits dialog_units(const QWidget* window) {
    const QFontMetrics metrics(window->font());
    return DialogUnits{metrics.averageCharWidth() / 4.0, metrics.height() / 8.0};
}

QWidget* make_control(const TemplateControl& t, QWidget* window) {
    const QString caption = QString::fromUtf8(t.caption);
    switch (t.kind) {
    case Kind::Label:
    case Kind::Value: return new QLabel(caption, window);
    case Kind::Combo: return new QComboBox(window);
    case Kind::Group: return new QGroupBox(caption, window);
    case Kind::Check: return new QCheckBox(caption, window);
    case Kind::Edit: return new QLineEdit(window);
    case Kind::Button: return new QPushButton(caption, window);
    case Kind::Ptz: {
        auto* button = new CPTZButton(window);
        button->setText(caption);
        return button;
    }
    case Kind::DeviceList: {
        auto* list = new QTreeWidget(window);
        list->setRootIsDecorated(false);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setAllColumnsShowFocus(true);
        return list;
    }
    case Kind::ResultList: {
        // A result line longer than the box wraps rather than being cut.
        auto* list = new QListWidget(window);
        list->setWordWrap(true);
        list->setResizeMode(QListView::Adjust);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        return list;
    }
    case Kind::Video: return new VideoFrameView(window);
    case Kind::QrCode: {
        auto* view = new QrCodeView(window);
        return view;
    }
    }
    return nullptr;
}

} // namespace

IpcTestForm::IpcTestForm(QDialog* window) : m_window(window) {
    m_scroll = new QScrollArea(window);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(false);
    m_canvas = new QWidget;
    m_scroll->setWidget(m_canvas);
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroll);
    const DialogUnits units = dialog_units(window);
    for (const TemplateControl& t : kTemplate) {
        QWidget* widget = make_control(t, m_canvas);
        widget->setObjectName(QString::number(t.id));
        m_template_rects[t.id] = units.map(t.x, t.y, t.w, t.h);
        widget->setGeometry(m_template_rects[t.id]);
        m_controls[t.id] = widget;
    }
    m_canvas->resize(template_size());
    devlist = as<QTreeWidget>(DeviceList);
    results = as<QListWidget>(ResultList);
    video = qobject_cast<VideoFrameView*>(control(VideoFrame));
    qr = qobject_cast<QrCodeView*>(control(QrCodeFrame));
    netcard_combo = as<QComboBox>(NetworkCardCombo);
    light_mode_combo = as<QComboBox>(LightModeCombo);
    lamp_combo = as<QComboBox>(LampCombo);
    direction_combo = as<QComboBox>(DirectionCombo);
    ptz[0] = qobject_cast<CPTZButton*>(control(PtzUpButton));
    ptz[1] = qobject_cast<CPTZButton*>(control(PtzLeftButton));
    ptz[2] = qobject_cast<CPTZButton*>(control(PtzDownButton));
    ptz[3] = qobject_cast<CPTZButton*>(control(PtzRightButton));
    window->resize(template_size());
}

QWidget* IpcTestForm::control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QSize IpcTestForm::template_size() const {
    return dialog_units(m_window).map(0, 0, kTemplateWidth, kTemplateHeight).size();
}

void IpcTestForm::apply_texts(const Lang& lang) {
    for (const TemplateControl& t : kTemplate) {
        if (!*t.key) continue;
        QWidget* widget = control(t.id);
        const QString text = lang(t.key);
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setText(text);
        else if (auto* group = qobject_cast<QGroupBox*>(widget)) group->setTitle(text);
        else if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(text);
    }
    const auto fill = [&](QComboBox* combo, std::initializer_list<const char*> keys) {
        const QSignalBlocker quiet(combo);
        combo->clear();
        int position = 0;
        for (const char* key : keys) combo->insertItem(position++, lang(key));
        combo->setCurrentIndex(0);
    };
    fill(light_mode_combo, {"IDS_SOFT_LIGHT", "IDS_HARD_LIGHT"});
    fill(lamp_combo, {"IDS_WHITE_LIGHT", "IDS_INFRARED_LAMP", "IDS_DOUBLE_LIGHT"});
    fill(direction_combo, {"IDS_MODULE_DIRECTION_NOMARL", "IDS_MODULE_DIRECTION_REVERSE"});
}

void IpcTestForm::set_up_device_list(const Lang& lang) {
    devlist->clear();
    devlist->setColumnCount(5);
    devlist->setHeaderLabels({lang("IDS_ID_NUMBER"), QStringLiteral("MAC"), lang("IDS_IP_ADDR"),
                              lang("IDS_SOFTWARE_VERSION"), QStringLiteral("BID")});
    // Wide enough for the longest text each column holds, so the whole row fits the list.
    const QFontMetrics metrics(devlist->font());
    const QString longest[5] = {QStringLiteral("000"), QStringLiteral("00:00:00:00:00:00"),
                                QStringLiteral("255.255.255.255"), QStringLiteral("00.00.00.0"),
                                QStringLiteral("0x0000")};
    for (int column = 0; column < 5; ++column) {
        const int header = metrics.horizontalAdvance(devlist->headerItem()->text(column));
        devlist->setColumnWidth(column, std::max(header, metrics.horizontalAdvance(longest[column])) + 10);
    }
    // Grid lines; a style sheet on the items takes their selected colours too, so those are
    // named again or the selected row's text would vanish into its background.
    devlist->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid palette(mid);"
                                          " border-bottom: 1px solid palette(mid); }"
                                          "QTreeView::item:selected { background: palette(highlight);"
                                          " color: palette(highlighted-text); }"));
}

void IpcTestForm::scale_layout(QSize original) {
    const QSize client = m_canvas->size();
    if (client.width() < 1 || client.height() <= 0 || original.width() < 1 || original.height() < 1) return;
    const float rx = static_cast<float>(client.width()) / static_cast<float>(original.width());
    const float ry = static_cast<float>(client.height()) / static_cast<float>(original.height());
    const auto scaled = [](int value, float ratio) { return static_cast<int>(static_cast<float>(value) * ratio); };
    for (const auto& [id, widget] : m_controls) {
        // The video frame is the window's own while it fills the screen.
        if (widget->parentWidget() != m_canvas) continue;
        const QRect r = m_template_rects.at(id);
        const int left = scaled(r.left(), rx);
        const int top = scaled(r.top(), ry);
        const int right = scaled(r.left() + r.width(), rx);
        const int bottom = scaled(r.top() + r.height(), ry);
        widget->setGeometry(left, top, right - left, bottom - top);
    }
}

QSize IpcTestForm::minimum_canvas() const {
    // The smallest scale at which every caption shows whole in this font and language;
    // heights have room to spare in the template, so they may shrink a little.
    double rx = 0.5;
    double ry = 0.7;
    for (const TemplateControl& t : kTemplate) {
        if (t.kind == Kind::Value || t.kind == Kind::DeviceList || t.kind == Kind::ResultList || t.kind == Kind::Video ||
            t.kind == Kind::QrCode || t.kind == Kind::Edit)
            continue;
        const QWidget* widget = control(t.id);
        const QRect r = m_template_rects.at(t.id);
        if (r.width() < 1 || r.height() < 1) continue;
        // A button's own size hint has a floor of its style's; what matters is its text.
        const QFontMetrics metrics = widget->fontMetrics();
        const int pad = 2 * metrics.averageCharWidth();
        QSize hint = widget->sizeHint();
        if (const auto* group = qobject_cast<const QGroupBox*>(widget))
            hint = QSize(metrics.horizontalAdvance(group->title()) + pad, 0);
        else if (const auto* button = qobject_cast<const QPushButton*>(widget))
            hint = QSize(metrics.horizontalAdvance(button->text()) + pad, metrics.height() + metrics.height() / 2);
        rx = std::max(rx, static_cast<double>(hint.width()) / r.width());
        if (t.kind == Kind::Button || t.kind == Kind::Ptz) ry = std::max(ry, static_cast<double>(hint.height()) / r.height());
    }
    const QSize whole = template_size();
    return {static_cast<int>(std::ceil(whole.width() * rx)), static_cast<int>(std::ceil(whole.height() * ry))};
}

void IpcTestForm::fit_to_window() {
    const QSize view = m_scroll->size();
    const QSize least = minimum_canvas();
    QSize canvas(std::max(view.width(), least.width()), std::max(view.height(), least.height()));
    // A scroll bar in one direction takes room from the other.
    const int bar = m_scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (canvas.width() > view.width()) canvas.setHeight(std::max(view.height() - bar, least.height()));
    if (canvas.height() > view.height()) canvas.setWidth(std::max(view.width() - bar, least.width()));
    m_canvas->resize(canvas);
    scale_layout(template_size());
}
