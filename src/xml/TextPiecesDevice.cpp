#include "TextPiecesDevice.h"

TextPiecesDevice::TextPiecesDevice(const TextPieces &text, QObject *parent)
    : QIODevice(parent)
    , m_text(text) {}

qint64 TextPiecesDevice::readData(char *data, qint64 maxSize) {
    return m_text.copy(pos(), data, maxSize);
}
