#include "OneLineItemDelegate.h"

QString OneLineItemDelegate::oneLine(const QString &text) {
    QString line = text;
    for (QChar &c : line) {
        if (c == u'\n' || c == u'\r' || c == u'\t' || c == QChar(0x2028) || c == QChar(0x2029))
            c = u' ';
    }
    return line;
}

void OneLineItemDelegate::initStyleOption(QStyleOptionViewItem *option,
                                          const QModelIndex &index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->features.testFlag(QStyleOptionViewItem::HasDisplay)) {
        option->text = oneLine(option->text);
        option->features &= ~QStyleOptionViewItem::WrapText;
    }
}
