#include "FormWidgets.h"

#include <QPainter>
#include <QStyleOptionFrame>

namespace vemba {

UntitledFrame::UntitledFrame(QWidget* parent) : QGroupBox(parent) {}

void UntitledFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect().adjusted(0, fontMetrics().height() / 2, 0, 0);
    frame.lineWidth = 1;
    frame.midLineWidth = 0;
    style()->drawPrimitive(QStyle::PE_FrameGroupBox, &frame, &painter, this);
}

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {}

QImage& PictureBox::image() {
    fitImage();
    return m_image;
}

void PictureBox::resizeEvent(QResizeEvent*) {
    fitImage();
}

void PictureBox::fitImage() {
    if (m_image.size() == size()) {
        return;
    }
    // Transparent where nothing is drawn: the box shows its frame's background.
    QImage resized(size(), QImage::Format_ARGB32_Premultiplied);
    resized.fill(Qt::transparent);
    QPainter painter(&resized);
    painter.drawImage(0, 0, m_image);
    m_image = resized;
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

} // namespace vemba
