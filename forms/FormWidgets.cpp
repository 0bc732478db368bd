#include "FormWidgets.h"

#include "FormStyle.h"

#include <QAccessibleWidget>
#include <QCheckBox>
#include <QPainter>

namespace vemba {

namespace {

// A picture box is a picture to a screen reader, not an empty pane. The box
// declares no class of its own to Qt, so Qt asks under "QWidget".
QAccessibleInterface* pictureBoxAccessible(const QString&, QObject* object) {
    auto* box = dynamic_cast<PictureBox*>(object);
    return box != nullptr ? new QAccessibleWidget(box, QAccessible::Graphic) : nullptr;
}

} // namespace

UntitledFrame::UntitledFrame(QWidget* parent) : QGroupBox(parent) {}

void UntitledFrame::paintEvent(QPaintEvent*) {
    // The top line runs through the middle of the check box that stands in
    // the caption's place; the opaque check box breaks it.
    int lineY = fontMetrics().height() / 2;
    if (const auto* box = findChild<QCheckBox*>(QString(), Qt::FindDirectChildrenOnly)) {
        lineY = box->geometry().center().y();
    }
    QPainter painter(this);
    drawFrameBorder(painter, rect(), lineY, QRect(), palette());
}

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    [[maybe_unused]] static const bool factoryInstalled = [] {
        QAccessible::installFactory(pictureBoxAccessible);
        return true;
    }();
}

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

LineWidget::LineWidget(const QColor& color, QWidget* parent) : QWidget(parent), m_color(color) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QRect LineWidget::area(const QRect& span, int width) {
    return span.height() == 0 ? QRect(span.left(), span.top(), span.width(), width)
                              : QRect(span.left(), span.top(), width, span.height());
}

void LineWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_color);
}

} // namespace vemba
