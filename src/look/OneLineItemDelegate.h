#pragma once

#include <QStyledItemDelegate>

// Shows every cell on one line: line breaks in a long summary read as
// blanks, so a row is as tall as one line of text and the list shows as
// many episodes as fit. The full text stays in the model (and the tooltip).
class OneLineItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static QString oneLine(const QString &text);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
