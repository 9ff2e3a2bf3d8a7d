#pragma once
#include "devsdk/ovix_client.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <mutex>

// The live video frame: a black area that shows the newest picture of the camera's stream,
// stretched to its size, and reports clicks (full screen).
//
// Pictures arrive on the device SDK's thread through render_target(). Each is copied into a
// single slot and at most one repaint is queued at a time, so a window thread that falls
// behind skips pictures instead of piling them up, and the SDK thread never waits for it.
class VideoFrameView : public QWidget {
    Q_OBJECT
public:
    explicit VideoFrameView(QWidget* parent = nullptr);

    // The "window handle" handed to the SDK's live view. Valid for the view's life; the
    // owner stops the live view (or logs out) before the view goes away.
    OVIX_WINDOW render_target() { return &m_target; }

    // Forgets the shown picture (a new session starts black).
    void clear_picture();

    uint64_t frames_received() const { return m_received.load(); }
    uint64_t frames_drawn() const { return m_drawn; }
    // Pictures the device numbered but never delivered (its sequence gaps).
    uint64_t frames_lost() const { return m_lost.load(); }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    static void on_frame(void* context, const ovix_frame* frame);
    void take_frame(const ovix_frame& frame);

    ovix_render_target m_target;
    std::mutex m_mutex;
    QImage m_pending;        // newest picture not yet drawn, under m_mutex
    bool m_fresh = false;    // m_pending holds a picture not yet drawn, under m_mutex
    std::atomic<bool> m_repaint_queued{false};
    std::atomic<uint64_t> m_received{0};
    std::atomic<uint64_t> m_lost{0};
    uint32_t m_next_sequence = 0;  // SDK thread only
    std::atomic<bool> m_have_sequence{false};  // cleared by a new session
    QImage m_shown;          // window thread only
    uint64_t m_drawn = 0;    // window thread only
};
