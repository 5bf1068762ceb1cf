#include "LineNumberedEdit.h"

#include <QFontDatabase>
#include <QPaintEvent>
#include <QPainter>
#include <QTextBlock>

LineNumberedEdit::LineNumberedEdit(QWidget *parent)
    : QPlainTextEdit(parent)
    , m_margin(new QWidget(this)) {
    m_margin->setObjectName(QStringLiteral("lineNumbers"));
    m_margin->installEventFilter(this);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab moves the focus on, as in every other box of the editor.
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &LineNumberedEdit::updateMarginWidth);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (dy != 0)
            m_margin->scroll(0, dy);
        else
            m_margin->update(0, rect.y(), m_margin->width(), rect.height());
    });
    updateMarginWidth();
}

int LineNumberedEdit::marginWidth() const {
    const int digits = int(QString::number(qMax(1, blockCount())).size());
    return 8 + fontMetrics().horizontalAdvance(u'9') * qMax(2, digits);
}

void LineNumberedEdit::moveCursorTo(int line, int column) {
    const QTextBlock block = document()->findBlockByNumber(qMax(0, line - 1));
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor,
                        qBound(0, column - 1, block.length() - 1));
    setTextCursor(cursor);
    ensureCursorVisible();
}

void LineNumberedEdit::updateMarginWidth() {
    setViewportMargins(marginWidth(), 0, 0, 0);
    const QRect area = contentsRect();
    m_margin->setGeometry(area.left(), area.top(), marginWidth(), area.height());
}

void LineNumberedEdit::resizeEvent(QResizeEvent *event) {
    QPlainTextEdit::resizeEvent(event);
    updateMarginWidth();
}

bool LineNumberedEdit::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_margin && event->type() == QEvent::Paint) {
        paintMargin(static_cast<QPaintEvent *>(event));
        return true;
    }
    return QPlainTextEdit::eventFilter(watched, event);
}

void LineNumberedEdit::paintMargin(QPaintEvent *event) {
    QPainter painter(m_margin);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::PlaceholderText));
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= event->rect().bottom()) {
        const qreal height = blockBoundingRect(block).height();
        if (block.isVisible() && top + height >= event->rect().top()) {
            painter.drawText(QRectF(0, top, m_margin->width() - 4, height),
                             Qt::AlignRight | Qt::AlignTop,
                             QString::number(block.blockNumber() + 1));
        }
        top += height;
        block = block.next();
    }
}
