#pragma once

#include <QByteArray>
#include <QElapsedTimer>

#include <tiostream.h>

// TagLib's view of a media file the caller has opened: read-only, and with a
// budget of bytes and time. TagLib searches a damaged or hostile file to its
// end (an ID3v2 search through a 4 GB sparse file took minutes); once the
// budget is spent every read comes back empty, which TagLib takes for the
// end of the file, and exhausted() tells the caller not to trust the answer.
class BoundedMediaStream : public TagLib::IOStream {
public:
    // fd stays the caller's; size is the file's length when it was opened.
    // name is what TagLib sees of the file: its extension picks the reader.
    BoundedMediaStream(int fd, qint64 size, const QByteArray &name, qint64 byteBudget,
                       qint64 millisecondBudget);

    bool exhausted() const { return m_exhausted; }
    qint64 bytesRead() const { return m_bytesRead; }

    TagLib::FileName name() const override;
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector &data) override;
    void insert(const TagLib::ByteVector &data, unsigned long start = 0,
                unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override;
    bool isOpen() const override;
    void seek(long offset, Position p = Beginning) override;
    long tell() const override;
    long length() override;
    void truncate(long length) override;

private:
    bool spent();

    int m_fd;
    qint64 m_size;
    QByteArray m_name;
    qint64 m_byteBudget;
    qint64 m_millisecondBudget;
    qint64 m_position = 0;
    qint64 m_bytesRead = 0;
    bool m_exhausted = false;
    QElapsedTimer m_clock;
};
