#pragma once

#include <QGroupBox>
#include <QImage>
#include <QWidget>

namespace vemba {

// A frame without a caption: its top line runs through the middle of the
// check box placed on its top edge, which so reads as the frame's caption.
class UntitledFrame : public QGroupBox {
public:
    explicit UntitledFrame(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A borderless drawing area that keeps what is drawn into it: it repaints
// from its retained image, so nothing has to be drawn twice.
class PictureBox : public QWidget {
public:
    explicit PictureBox(QWidget* parent);

    // The image to draw into, sized to the box: before the box is first
    // shown, its resize event has not come yet.
    QImage& image();
    const QImage& image() const { return m_image; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void fitImage();

    QImage m_image;
};

// A horizontal or vertical line drawn as a solid strip along its rectangle.
class LineWidget : public QWidget {
public:
    LineWidget(const QColor& color, QWidget* parent);

    // The strip of a line `width` pixels thick that runs along `span`, a
    // rectangle of no height (a horizontal line) or no width (a vertical one).
    static QRect area(const QRect& span, int width);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};

} // namespace vemba
