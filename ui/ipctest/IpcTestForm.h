#pragma once
#include <QSize>
#include <QString>

#include <functional>
#include <map>

class CPTZButton;
class QComboBox;
class QDialog;
class QListWidget;
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

    // Moves every control by the ratio of the window's client size to `original`, each
    // edge truncated toward zero. Nothing for a client area without width or height.
    void scale_layout(QSize original);

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
    std::map<int, QWidget*> m_controls;
};

template <class T>
T* IpcTestForm::as(int id) const {
    return qobject_cast<T*>(control(id));
}
