#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QStringEncoder>
#include <QStringView>

namespace kalvendo {

// Buffered UTF-8 output to a device for the streaming writers. A refused
// write raises EWriteError at once, so a writer never goes on writing into a
// broken file. Nothing is written on destruction: an abandoned export leaves
// its remaining bytes unwritten.
class OutStream {
public:
    explicit OutStream(QIODevice& device) : m_device(device) { m_buffer.reserve(kLimit + 4096); }
    OutStream(const OutStream&) = delete;
    OutStream& operator=(const OutStream&) = delete;

    void put(char c) {
        m_buffer.append(c);
        spill();
    }
    void put(QByteArrayView bytes) {
        m_buffer.append(bytes);
        spill();
    }
    void putText(QStringView text);
    // Text as XML character data (appendXmlText).
    void putXml(QStringView text);

    // Hands everything buffered to the device; throws EWriteError.
    void finish();

private:
    static constexpr qsizetype kLimit = 64 * 1024;
    void spill() {
        if (m_buffer.size() >= kLimit)
            finish();
    }

    QIODevice& m_device;
    QByteArray m_buffer;
    QStringEncoder m_utf8{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};

// Whether XML 1.0 can carry the character (tab, line feed and carriage
// return are the only control characters it allows).
inline bool isXmlChar(char16_t c) {
    return c >= 0x20 ? (c < 0xFFFE) : (c == 0x09 || c == 0x0A || c == 0x0D);
}

// Appends text as UTF-8 XML/HTML character data with &, <, > and " escaped
// and the characters XML cannot carry dropped; a carriage return is written
// as a reference so that readers do not fold it into a line feed.
void appendXmlText(QByteArray& out, QStringView text);
// The number of bytes appendXmlText appends for text.
qsizetype xmlTextLength(QStringView text);

} // namespace kalvendo
