#pragma once
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <map>

class CPTZButton;
class QComboBox;
class QDialog;
class QListWidget;
class QScrollArea;
class QTreeWidget;
class QWidget;
class QrCodeView;
class VideoFrameView;

// The test window's controls, each by its numeric id (its object name), placed where the
// window's template puts them in dialog units. It holds no behaviour; the window wires it.
class IpcTestForm {
public:
    using Lang = std::function<QString(const char* key)>;

    // The template's size in dialog units.
    static constexpr int kTemplateWidth = 765;
    static constexpr int kTemplateHeight = 411;

    explicit IpcTestForm(QDialog* window);

    QWidget* control(int id) const;
    template <class T>
    T* as(int id) const;
    const std::map<int, QWidget*>& controls() const { return m_controls; }

    // The client size the template gives, in pixels of the window's font.
    QSize template_size() const;

    // The captions that come from the language file, and the three item boxes' entries
    // (inserted at their positions, first one selected).
    void apply_texts(const Lang& lang);
    // The five columns of the device list.
    void set_up_device_list(const Lang& lang);

    // Places every control from its template place by the ratio of the canvas size to
    // `original`, each edge truncated toward zero. Nothing for a canvas without width or height.
    void scale_layout(QSize original);
    // Sizes the canvas to the scroll area's viewport, but never below the smallest size at
    // which every caption shows whole (the template's width, most of its height): a smaller
    // window scrolls instead of cutting texts or hiding PASS and NG.
    void fit_to_window();
    QSize minimum_canvas() const;
    // The widget the controls live on, inside the window's scroll area.
    QWidget* canvas() const { return m_canvas; }
    QScrollArea* scroll_area() const { return m_scroll; }

    QTreeWidget* devlist = nullptr;
    QListWidget* results = nullptr;
    VideoFrameView* video = nullptr;
    QrCodeView* qr = nullptr;
    QComboBox* netcard_combo = nullptr;
    QComboBox* light_mode_combo = nullptr;
    QComboBox* lamp_combo = nullptr;
    QComboBox* direction_combo = nullptr;
    CPTZButton* ptz[4] = {};  // up, left, down, right

private:
    QDialog* m_window;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_canvas = nullptr;
    std::map<int, QWidget*> m_controls;
    std::map<int, QRect> m_template_rects;  // pixels at the template's own size
};

template <class T>
T* IpcTestForm::as(int id) const {
    return qobject_cast<T*>(control(id));
}
