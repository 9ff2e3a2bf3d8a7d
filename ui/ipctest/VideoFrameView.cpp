#include "ui/ipctest/VideoFrameView.h"

#include <QMouseEvent>
#include <QPainter>

#include <cstring>

VideoFrameView::VideoFrameView(QWidget* parent) : QWidget(parent), m_target{&VideoFrameView::on_frame, this} {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

void VideoFrameView::on_frame(void* context, const ovix_frame* frame) {
    if (context && frame) static_cast<VideoFrameView*>(context)->take_frame(*frame);
}

void VideoFrameView::take_frame(const ovix_frame& frame) {
    if (frame.width <= 0 || frame.height <= 0 || frame.stride < frame.width * 4 || !frame.pixels) return;
    if (m_have_sequence && frame.sequence > m_next_sequence) m_lost += frame.sequence - m_next_sequence;
    m_next_sequence = frame.sequence + 1;
    m_have_sequence = true;
    ++m_received;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pending.width() != frame.width || m_pending.height() != frame.height)
            m_pending = QImage(frame.width, frame.height, QImage::Format_RGB32);
        const size_t row_bytes = static_cast<size_t>(frame.width) * 4;
        for (int y = 0; y < frame.height; ++y)
            std::memcpy(m_pending.scanLine(y), frame.pixels + static_cast<ptrdiff_t>(y) * frame.stride, row_bytes);
        m_fresh = true;
    }
    // One repaint in flight at most; the paint takes whatever is newest by then.
    if (!m_repaint_queued.exchange(true))
        QMetaObject::invokeMethod(this, [this] {
            m_repaint_queued = false;
            update();
        }, Qt::QueuedConnection);
}

void VideoFrameView::clear_picture() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fresh = false;
    }
    m_shown = QImage();
    m_have_sequence = false;
    update();
}

void VideoFrameView::paintEvent(QPaintEvent*) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_fresh) {
            // Swapping keeps both buffers allocated: the next picture of the same size is
            // copied without a new allocation.
            std::swap(m_shown, m_pending);
            m_fresh = false;
            ++m_drawn;
        }
    }
    QPainter painter(this);
    if (m_shown.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawImage(rect(), m_shown);
}

void VideoFrameView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit clicked();
    QWidget::mousePressEvent(event);
}
