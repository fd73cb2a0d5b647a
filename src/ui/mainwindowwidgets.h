#pragma once

#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

#include <functional>

// The main window's client area: white, with the background picture drawn at
// its own size from the top-left corner behind every control.
class Surface final : public QWidget {
  public:
    Surface(const QPixmap& picture, std::function<void()> onMouseMove, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    const QPixmap& picture_;
    std::function<void()> onMouseMove_;
};

// The focus frame: a rectangle filled with the palette's window colour, drawn
// behind the buttons.
class ShapeFrame final : public QWidget {
  public:
    explicit ShapeFrame(QWidget* parent);

  protected:
    void paintEvent(QPaintEvent*) override;
};

// A command button whose caption wraps onto a second line when it is too
// wide, as the captions of the insert and delete buttons need.
class CommandButton final : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent*) override;
};

// The tabs of the three lists; each tab wears its list's colour, like the grid
// it holds.
class TabControl final : public QTabWidget {
  public:
    explicit TabControl(QWidget* parent);
};
