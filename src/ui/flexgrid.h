#pragma once

#include <QTableView>

class ListModel;
class QItemSelectionModel;

// One list on screen: a table view over the list's model, with a fixed header
// row and no row numbers. It has no editor of its own; it reports keys, typed
// characters and clicks, and the window edits the current cell. The header
// row (the grid's row 0) is the horizontal header here.
class FlexGrid : public QTableView {
    Q_OBJECT
  public:
    // The view shares the selection model with the list, so the operations see
    // the cell the user chose.
    FlexGrid(ListModel& model, QItemSelectionModel& selection, QWidget* parent = nullptr);

    ListModel& listModel() const { return model_; }

    // Column widths from the list's twips at the screen's logical DPI; a width
    // of 0 hides the column.
    void layoutColumns();

    // 1440 twips make an inch.

    // The Windows-1252 code of a typed character: its byte, or 63 ("?") for a
    // printable character the code page has no byte for, as the list file
    // would keep it; -1 for a control character without a byte.
    static int characterCode(QChar ch);

  Q_SIGNALS:
    // A key went down (the Qt key), before any character it types.
    void keyDown(int key);
    // A character was typed: its Windows-1252 code (13 for Enter, 8 for Backspace).
    void keyPress(int charCode);
    // The left button went down anywhere on the grid, header and empty area included.
    void gridClicked();
    // The right button went down over the grid; the current cell does not move.
    void rightButtonDown(const QPoint& globalPos);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    ListModel& model_;
};
