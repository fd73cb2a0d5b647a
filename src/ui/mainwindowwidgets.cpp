#include "ui/mainwindowwidgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>

#include "ui/listview.h"

Surface::Surface(const QPixmap& picture, std::function<void()> onMouseMove, QWidget* parent)
    : QWidget(parent), picture_(picture), onMouseMove_(std::move(onMouseMove)) {
    setMouseTracking(true);
}

void Surface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!picture_.isNull()) painter.drawPixmap(0, 0, picture_);
}

void Surface::mouseMoveEvent(QMouseEvent* event) {
    // A move over a control that ignored it arrives here too; only the bare
    // surface counts.
    if (!childAt(event->position().toPoint())) onMouseMove_();
    event->accept();
}

ShapeFrame::ShapeFrame(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CommandButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    style()->drawItemText(&painter, rect().adjusted(4, 2, -4, -2), flags, option.palette,
                          isEnabled(), caption, QPalette::ButtonText);
}

namespace {

class ColouredTabBar final : public QTabBar {
  public:
    using QTabBar::QTabBar;

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        for (int i = 0; i < count(); ++i) {
            QStyleOptionTab option;
            initStyleOption(&option, i);
            const QColor colour = QColor::fromRgb(viewTraitsForTab(i).tabColour);
            option.palette.setColor(QPalette::Window, colour);
            option.palette.setColor(QPalette::Button, colour);
            option.palette.setColor(QPalette::Base, colour);
            painter.drawControl(QStyle::CE_TabBarTab, option);
        }
    }
};

}  // namespace

TabControl::TabControl(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new ColouredTabBar(this));
}
