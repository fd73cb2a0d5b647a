#include "ui/flexgrid.h"

#include "notify/twips.h"

#include <QColor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include <algorithm>

#include "core/listmodel.h"
#include "core/win1252.h"
#include "ui/listview.h"

namespace {

// The view's base colour is the grid's empty area, so every cell is painted
// with its brush here: its own colour, or the normal window colour.
class CellDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->backgroundBrush = cellBrush(index);
    }
};

QString colourName(QRgb rgb) {
    return QColor::fromRgb(rgb).name();
}

// The keys the window acts on by their key code, whatever modifiers are held.
bool isProgramKey(int key) {
    switch (key) {
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
        case Qt::Key_F5:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return true;
        default:
            return false;
    }
}

}  // namespace

FlexGrid::FlexGrid(ListModel& model, QItemSelectionModel& selection, QWidget* parent)
    : QTableView(parent), model_(model) {
    const ListViewTraits& view = viewTraits(model.kind());
    setObjectName(QString::fromLatin1(view.gridName));
    model.setObjectName(QString::fromLatin1(view.gridName) + QStringLiteral("Model"));
    setModel(&model);
    setSelectionModel(&selection);
    setItemDelegate(new CellDelegate(this));

    // The window edits the cells itself, one key at a time.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);  // Tab moves on to the next control
    setSortingEnabled(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);

    QFont gridFont(QStringLiteral("MS Sans Serif"));
    gridFont.setPointSizeF(8.25);
    gridFont.setBold(true);
    setFont(gridFont);

    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor::fromRgb(view.emptyAreaColour));
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);

    const int rowHeight = std::max(twipsToPixels(240, logicalDpiY()), fontMetrics().height() + 3);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(rowHeight);

    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setMinimumSectionSize(0);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setFixedHeight(rowHeight);
    header->setFont(gridFont);
    header->setStyleSheet(QStringLiteral("QHeaderView { background-color: %2; }"
                                         " QHeaderView::section { background-color: %1;"
                                         " color: black; font-weight: bold; border: none;"
                                         " border-right: 1px solid #808080;"
                                         " border-bottom: 1px solid #808080; padding-left: 2px; }")
                              .arg(colourName(view.tabColour), colourName(view.emptyAreaColour)));
    header->viewport()->installEventFilter(this);

    setAccessibleName(QString::fromUtf8(model.traits().tabCaption));
}

int FlexGrid::characterCode(QChar ch) {
    const int byte = win1252::toByte(ch);
    if (byte >= 0) return byte;
    // What the list file would keep of it; a character beyond 16 bits comes
    // as a pair of surrogates, and its first half stands for it.
    return ch.isPrint() || ch.isHighSurrogate() ? '?' : -1;
}

void FlexGrid::layoutColumns() {
    const ListViewTraits& view = viewTraits(model_.kind());
    for (int column = 0; column < ListModel::ColumnCount; ++column) {
        const int twips = view.columnTwips[static_cast<size_t>(column)];
        setColumnHidden(column, twips == 0);
        if (twips > 0) setColumnWidth(column, twipsToPixels(twips, logicalDpiX()));
    }
}

void FlexGrid::keyPressEvent(QKeyEvent* event) {
    Q_EMIT keyDown(event->key());
    // Alt with a key is an access key and Ctrl with one a command, not
    // typing; AltGr, which some systems report as Ctrl+Alt, still types.
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool typing = bool(mods & Qt::AltModifier) == bool(mods & Qt::ControlModifier);
    bool typedCharacter = false;
    if (typing) {
        for (const QChar ch : event->text()) {
            if (ch.isLowSurrogate()) continue;  // its first half has been typed
            const int code = characterCode(ch);
            if (code < 0) continue;
            if (code >= 32 && code != 127) typedCharacter = true;
            Q_EMIT keyPress(code);
        }
    }
    // The program's keys stop here: editing keys, Enter and typed characters
    // (a letter must not jump to a row by keyboard search). Every other key,
    // Ctrl combinations included, is the grid's own navigation: arrows, Page
    // Up and Down, Home and End, Ctrl+Home and Ctrl+End to the first and last
    // entry, Ctrl+C to copy the cell.
    if (typedCharacter || isProgramKey(event->key())) {
        event->accept();
    } else {
        QTableView::keyPressEvent(event);
    }
}

void FlexGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        // The popup acts on the row chosen before, so the cell stays put.
        event->accept();
        Q_EMIT rightButtonDown(event->globalPosition().toPoint());
        return;
    }
    if (event->button() == Qt::LeftButton) {
        // A click below the last row keeps the current cell where it was.
        if (indexAt(event->position().toPoint()).isValid())
            QTableView::mousePressEvent(event);
        else
            event->accept();
        setFocus(Qt::MouseFocusReason);
        Q_EMIT gridClicked();
        return;
    }
    QTableView::mousePressEvent(event);
}

bool FlexGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            // The header row is row 0 of the grid: a click there counts as a
            // click in the grid, and it neither sorts nor selects a column.
            if (mouse->button() == Qt::LeftButton) {
                setFocus(Qt::MouseFocusReason);
                Q_EMIT gridClicked();
            } else if (mouse->button() == Qt::RightButton) {
                Q_EMIT rightButtonDown(mouse->globalPosition().toPoint());
            }
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease ||
            event->type() == QEvent::MouseButtonDblClick)
            return true;
    }
    return QTableView::eventFilter(watched, event);
}
