#pragma once
#include <QPushButton>

// A pan/tilt button that reports both edges of a press to its parent window: pressing the
// left mouse button sends kPressed, releasing it kReleased, each with the button's own
// control id, before the button's usual handling. The camera moves while it is held.
class CPTZButton : public QPushButton {
    Q_OBJECT
public:
    explicit CPTZButton(QWidget* parent = nullptr);

    static constexpr int kPressed = 0x0401;
    static constexpr int kReleased = 0x0402;

    // The control id: the object name as a number.
    int control_id() const;

signals:
    // Parent-window notification: message kPressed or kReleased, first parameter the id.
    void ptz_message(int message, int control_id, int second);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
