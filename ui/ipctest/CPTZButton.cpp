#include "ui/ipctest/CPTZButton.h"

#include <QMouseEvent>

CPTZButton::CPTZButton(QWidget* parent) : QPushButton(parent) {}

int CPTZButton::control_id() const { return objectName().toInt(); }

void CPTZButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && isEnabled()) emit ptz_message(kPressed, control_id(), 0);
    QPushButton::mousePressEvent(event);
}

void CPTZButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && isEnabled()) emit ptz_message(kReleased, control_id(), 0);
    QPushButton::mouseReleaseEvent(event);
}
