#pragma once

#include "TextPieces.h"

#include <QIODevice>

// Reads TextPieces as one text, for what takes a device (the parser).
class TextPiecesDevice : public QIODevice {
public:
    explicit TextPiecesDevice(const TextPieces &text, QObject *parent = nullptr);

    qint64 size() const override { return m_text.size(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    const TextPieces &m_text;
};
