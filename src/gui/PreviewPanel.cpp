#include "PreviewPanel.h"

#include "MltWriter.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBoxLayout>
#include <QLabel>
#include <QMediaDevices>
#include <QPainter>
#include <QShortcut>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace gui {

namespace {

// How long a pause keeps melt waiting, in milliseconds.
constexpr int kIdleStop = 3000;

// The picture, fitted into the view with its shape kept, or a message.
class PictureView : public QWidget {
public:
    PictureView(const QImage &image, const QString &message) : m_image(image), m_message(message)
    {
        setMinimumSize(160, 90);
        setFocusPolicy(Qt::StrongFocus);
        setAccessibleName(QStringLiteral("Preview picture"));
        setObjectName(QStringLiteral("previewPicture"));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        if (!m_message.isEmpty() || m_image.isNull()) {
            if (hasFocus()) {
                painter.setPen(palette().color(QPalette::Highlight));
                painter.drawRect(rect().adjusted(0, 0, -1, -1));
            }
            painter.setPen(Qt::lightGray);
            painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, m_message);
            return;
        }
        QSize size = m_image.size().scaled(this->size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, m_image);
        if (hasFocus()) {
            painter.setPen(palette().color(QPalette::Highlight));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }

private:
    const QImage &m_image;
    const QString &m_message;
};

QString timeText(double seconds)
{
    const int whole = std::max(0, int(seconds));
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

PreviewPanel::PreviewPanel(TimelineSource source, QWidget *parent) : QWidget(parent), m_source(std::move(source))
{
    m_view = new PictureView(m_image, m_message);
    m_playButton = new QToolButton;
    m_playButton->setToolTip(QStringLiteral("Play or pause (Space)"));
    auto *back = new QToolButton;
    back->setIcon(style()->standardIcon(QStyle::SP_MediaSeekBackward));
    back->setToolTip(QStringLiteral("A frame back (Ctrl+Left)"));
    back->setAccessibleName(QStringLiteral("A frame back"));
    auto *forward = new QToolButton;
    forward->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
    forward->setToolTip(QStringLiteral("A frame forward (Ctrl+Right)"));
    forward->setAccessibleName(QStringLiteral("A frame forward"));
    m_slider = new QSlider(Qt::Horizontal);
    m_slider->setObjectName(QStringLiteral("previewSlider"));
    m_slider->setAccessibleName(QStringLiteral("Position"));
    m_timeLabel = new QLabel;
    m_timeLabel->setObjectName(QStringLiteral("previewTime"));
    for (QWidget *control : {static_cast<QWidget *>(m_playButton), static_cast<QWidget *>(back),
                             static_cast<QWidget *>(forward)})
        control->setFocusPolicy(Qt::TabFocus);

    auto *controls = new QHBoxLayout;
    controls->addWidget(back);
    controls->addWidget(m_playButton);
    controls->addWidget(forward);
    controls->addWidget(m_slider, 1);
    controls->addWidget(m_timeLabel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(controls);

    connect(m_playButton, &QToolButton::clicked, this, &PreviewPanel::togglePlay);
    connect(back, &QToolButton::clicked, this, [this] { step(-1); });
    connect(forward, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
        if (value != m_position)
            seek(value);
    });
    // The keys work with the focus in the panel (the picture takes it when
    // the panel shows, on a click and with Tab); elsewhere Space keeps its
    // own meaning (pressing a button, ticking a box).
    const auto shortcut = [this](QKeySequence keys, auto action) {
        auto *shortcut = new QShortcut(keys, this, action);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    };
    shortcut(QKeySequence(Qt::Key_Space), [this] { togglePlay(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Left), [this] { step(-1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Right), [this] { step(1); });

    m_ticker.setTimerType(Qt::PreciseTimer);
    connect(&m_ticker, &QTimer::timeout, this, &PreviewPanel::tick);
    m_idleStop.setSingleShot(true);
    m_idleStop.setInterval(kIdleStop);
    connect(&m_idleStop, &QTimer::timeout, this, [this] { m_stream.stop(); });
    m_rebuildLater.setSingleShot(true);
    m_rebuildLater.setInterval(250);
    connect(&m_rebuildLater, &QTimer::timeout, this, [this] {
        if (isVisible())
            rebuild();
    });
    connect(&m_pictures, &PreviewPictures::progress, this, [this](int made, int toMake) {
        showMessage(QStringLiteral("Preparing the photos for the preview: %1 of %2").arg(made).arg(toMake));
    });
    connect(&m_pictures, &PreviewPictures::ready, this, [this] { settingsChanged(true); });
    connect(&m_stream, &PreviewStream::frameReady, this, &PreviewPanel::framesArrived);
    connect(&m_stream, &PreviewStream::ended, this, &PreviewPanel::streamEnded);
    updateControls();
}

PreviewPanel::~PreviewPanel() = default;

void PreviewPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_view->setFocus(Qt::OtherFocusReason);
    if (m_stale)
        rebuild();
    else if (!m_stream.isRunning() && length() > 0)
        startStream(m_position);
}

void PreviewPanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    pause();
    m_rebuildLater.stop();
    m_stream.stop();
}

void PreviewPanel::settingsChanged(bool now)
{
    m_stale = true;
    if (!isVisible())
        return;
    if (now)
        rebuild();
    else
        m_rebuildLater.start();
}

void PreviewPanel::holdBack(bool held)
{
    if (held == m_heldBack)
        return;
    m_heldBack = held;
    if (held) {
        pause();
        m_stream.stop();
        showMessage(QStringLiteral("The preview waits while the video renders."));
    } else {
        settingsChanged(true);
    }
}

void PreviewPanel::rebuild()
{
    // The same moment of the slideshow, whatever its new rate and length.
    if (length() > 0)
        m_moment = m_position / m_rate;
    m_rebuildLater.stop();
    m_stale = false;
    m_stream.stop();
    QString failure;
    m_timeline = m_source(&failure);
    if (m_timeline) {
        for (Timeline::Photo &photo : m_timeline->photos)
            photo.path = m_pictures.pictureFor(photo.path);
        m_rate = double(m_timeline->rate.numerator) / m_timeline->rate.denominator;
    }
    if (m_pictures.makeAsked() || m_pictures.making()) {
        // Built again once the photos' copies are made.
        m_timeline.reset();
        showMessage(QStringLiteral("Preparing the photos for the preview…"));
        updateControls();
        return;
    }
    if (length() <= 0) {
        m_timeline.reset();
        m_position = 0;
        m_playing = false;
        m_ticker.stop();
        showMessage(failure.isEmpty() ? QStringLiteral("The album has no photo to show.")
                                      : QStringLiteral("No preview: %1.").arg(failure));
        updateControls();
        return;
    }
    m_position = std::clamp<int64_t>(std::llround(m_moment * m_rate), 0, length() - 1);
    m_ticker.setInterval(std::max(1, int(500 / m_rate)));
    {
        const QSignalBlocker blocker(m_slider);
        m_slider->setRange(0, int(std::min<int64_t>(length() - 1, INT_MAX)));
        m_slider->setValue(int(m_position));
    }
    startStream(m_position);
}

void PreviewPanel::startStream(int64_t from, bool continuing)
{
    if (m_heldBack || !m_timeline)
        return;
    // A minute at a time: melt loads only the photos of its part.
    int64_t offset = 0;
    const Timeline part = timelinePart(*m_timeline, from, int64_t(60 * m_rate), &offset);
    m_partEnd = offset + part.timing.total;
    QString reason;
    const QSize size = PreviewStream::frameSize(QSize(m_timeline->width, m_timeline->height), m_view->size(), m_largestWidth);
    // The sound only where it can be heard.
    if (!continuing) {
        m_withSound = m_timeline->music && !QMediaDevices::defaultAudioOutput().isNull();
        stopSound();
        m_sound.clear();
        m_soundStart = std::llround(from / m_rate * PreviewStream::kSoundRate);
    }
    if (!m_stream.start(shotcutProjectXml(part, Editor::Melt), part.timing.total, size, from - offset, &reason, offset,
                        continuing, m_withSound)) {
        m_playing = false;
        m_ticker.stop();
        showMessage(QStringLiteral("No preview: %1.").arg(reason));
        updateControls();
        return;
    }
    if (continuing)
        return;
    m_waiting = true;
    if (!m_playing)
        m_idleStop.start();
}

void PreviewPanel::play()
{
    if (m_playing || length() <= 0 || m_heldBack)
        return;
    m_playing = true;
    m_idleStop.stop();
    // From the start again at the end.
    if (m_position >= length() - 1)
        seek(0);
    // With sound, melt starts again at the frame after the one shown, its
    // sound with it.
    const bool streamGoesOn = m_stream.isRunning() && !m_withSound
        && (m_waiting || (!m_stream.frames().empty() && m_stream.frames().front().index == m_position + 1));
    if (!streamGoesOn) {
        startStream(m_position + 1 < length() ? m_position + 1 : m_position);
    }
    // The clock runs from the frame on screen.
    m_clockFrame = m_position;
    m_clock.start();
    m_ticker.start();
    updateControls();
}

void PreviewPanel::pause()
{
    if (!m_playing)
        return;
    m_playing = false;
    m_ticker.stop();
    stopSound();
    if (m_stream.isRunning())
        m_idleStop.start();
    updateControls();
}

void PreviewPanel::togglePlay()
{
    if (!isVisible())
        return;
    m_playing ? pause() : play();
}

void PreviewPanel::seek(int64_t frame)
{
    if (length() <= 0)
        return;
    frame = std::clamp<int64_t>(frame, 0, length() - 1);
    // While melt starts for one seek, the next waits for its first frame.
    if (m_waiting && m_stream.isRunning()) {
        m_pendingSeek = frame;
        m_position = frame;
        updateControls();
        return;
    }
    m_pendingSeek = -1;
    m_position = frame;
    // A frame already read ahead is shown at once.
    while (!m_stream.frames().empty() && m_stream.frames().front().index < frame)
        m_stream.takeFrame();
    if (!m_stream.frames().empty() && m_stream.frames().front().index == frame) {
        show(m_stream.takeFrame());
        if (m_playing) {
            m_clockFrame = frame;
            m_clock.start();
        }
        return;
    }
    startStream(frame);
    updateControls();
}

void PreviewPanel::step(int frames)
{
    if (!isVisible())
        return;
    pause();
    seek(m_position + frames);
}

void PreviewPanel::framesArrived()
{
    if (!m_waiting)
        return;
    // The first frame after a start: on screen at once, the clock from it.
    m_waiting = false;
    if (m_pendingSeek >= 0) {
        const int64_t target = m_pendingSeek;
        m_pendingSeek = -1;
        if (m_stream.frames().front().index != target) {
            seek(target);
            return;
        }
    }
    show(m_stream.takeFrame());
    if (m_playing) {
        m_clockFrame = m_position;
        m_clock.start();
        startSound();
    }
}

void PreviewPanel::tick()
{
    if (m_waiting)
        return;
    feedSound();
    const int64_t due = std::min<int64_t>(m_clockFrame + int64_t(m_clock.elapsed() * m_rate / 1000), length() - 1);
    if (due <= m_position)
        return;
    // The newest frame come due; those before it are dropped.
    std::optional<PreviewStream::Frame> frame;
    while (!m_stream.frames().empty() && m_stream.frames().front().index <= due)
        frame = m_stream.takeFrame();
    if (!frame)
        return;
    const double frameTime = 1000 / m_rate;
    const double lateBy = m_clock.elapsed() - (frame->index - m_clockFrame) * frameTime;
    m_counts.due += frame->index - m_position;
    m_counts.late += frame->index - m_position - 1 + (lateBy > frameTime ? 1 : 0);
    show(std::move(*frame));
    if (m_position >= length() - 1)
        pause();
}

void PreviewPanel::show(PreviewStream::Frame frame)
{
    m_position = frame.index;
    m_image = std::move(frame.image);
    m_message.clear();
    m_view->update();
    updateControls();
    emit frameShown(m_position);
}

void PreviewPanel::streamEnded(const QString &failure)
{
    if (!failure.isEmpty()) {
        if (m_stream.frames().empty()) {
            pause();
            showMessage(QStringLiteral("No preview: %1.").arg(failure));
        }
        return;
    }
    // The part's frames are read: the next part starts while they play.
    if (m_partEnd < length())
        startStream(m_partEnd, true);
}

void PreviewPanel::startSound()
{
    stopSound();
    if (!m_withSound)
        return;
    QAudioFormat format;
    format.setSampleRate(PreviewStream::kSoundRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    m_sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), format);
    m_sink->setBufferSize(PreviewStream::kSoundBytesPerSecond / 4);
    m_sinkInput = m_sink->start();
    // From the sample of the frame on screen.
    m_sound += m_stream.takeSound();
    const int64_t skip = std::llround(m_position / m_rate * PreviewStream::kSoundRate) - m_soundStart;
    if (skip > 0) {
        m_sound.remove(0, std::min<qsizetype>(m_sound.size(), qsizetype(skip) * 4));
        m_soundStart += skip;
    }
    feedSound();
}

void PreviewPanel::stopSound()
{
    m_sinkInput = nullptr;
    if (m_sink)
        m_sink->reset();
    m_sink.reset();
}

void PreviewPanel::feedSound()
{
    m_sound += m_stream.takeSound();
    if (!m_sinkInput)
        return;
    const qsizetype free = std::min<qsizetype>(m_sink->bytesFree(), m_sound.size()) / 4 * 4;
    const qint64 written = free > 0 ? m_sinkInput->write(m_sound.constData(), free) : 0;
    if (written > 0) {
        m_sound.remove(0, written);
        m_soundStart += written / 4;
    }
}

void PreviewPanel::showMessage(const QString &text)
{
    m_message = text;
    m_image = QImage();
    m_view->update();
}

void PreviewPanel::updateControls()
{
    m_playButton->setIcon(style()->standardIcon(m_playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_playButton->setAccessibleName(m_playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    m_playButton->setEnabled(length() > 0);
    m_slider->setEnabled(length() > 0);
    {
        const QSignalBlocker blocker(m_slider);
        m_slider->setValue(int(std::min<int64_t>(m_position, INT_MAX)));
    }
    m_timeLabel->setText(QStringLiteral("%1 / %2").arg(timeText(m_position / m_rate), timeText(length() / m_rate)));
}

} // namespace gui
