#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <vector>

namespace kalvendo {

// A CAPI struct parameter: one length byte and the content, or 0xFF, a
// little-endian length word and the content from 255 content bytes on.
//
// A struct either owns its encoded bytes (built by the program) or is a view
// over bytes inside a received message. A view never reaches past the bytes it
// was given: a length prefix that promises more than is there is clamped to
// what is there, so a cut message can never make a decoder read past its end.
class TStruct {
public:
    virtual ~TStruct();
    TStruct(const TStruct&) = delete;
    TStruct& operator=(const TStruct&) = delete;

    // The empty struct, the single byte 0.
    static std::unique_ptr<TStruct> CreateEmpty();
    // A struct holding the given content (prefix written here).
    static std::unique_ptr<TStruct> CreateWithContent(QByteArrayView content);
    // A non-owning view over struct bytes of a received message, rewound.
    // At most `available` bytes from `bytes` are ever looked at.
    static std::unique_ptr<TStruct> CreateView(const quint8* bytes, size_t available);
    // Same as CreateView; the name every struct decoder shares.
    static std::unique_ptr<TStruct> CreateFrom(const quint8* bytes, size_t available) {
        return CreateView(bytes, available);
    }

    quint16 ContentLength() const { return m_content; }
    // The size of the canonical encoding: content + 1, or content + 3 from 255 on.
    size_t EncodedSize() const { return EncodedSizeFor(m_content); }
    static size_t EncodedSizeFor(size_t contentLength) {
        return contentLength < 255 ? contentLength + 1 : contentLength + 3;
    }
    // Bytes this struct took up where it was read: usually EncodedSize, but a
    // cut or non-canonical prefix differs. Decoders advance by this.
    size_t WireSize() const { return m_prefix + m_content; }

    // Reserves room for contentLength bytes (capped at 65535), writes the
    // prefix and puts the write position on the first content byte.
    void Allocate(size_t contentLength);
    // Copies n bytes at the write position; what does not fit is dropped.
    void Append(const void* data, size_t n);
    // Copies n content bytes and advances when that many are unread; otherwise
    // fills dest with n zeros, does not advance and returns false.
    bool Read(void* dest, size_t n);
    void Rewind();

    bool OwnsBytes() const { return m_owns; }
    quint16 BytesRead() const { return m_read; }
    // The content bytes not read yet.
    QByteArray RemainingContent() const;
    QByteArray Content() const;
    // Appends the canonical encoding (prefix and content) to out.
    void AppendEncodedTo(std::vector<quint8>& out) const;

protected:
    // An owning empty struct; subclasses Allocate their content.
    TStruct();
    // A view; see CreateView.
    TStruct(const quint8* bytes, size_t available);

    const quint8* ContentBytes() const { return m_bytes + m_prefix; }

private:
    std::vector<quint8> m_owned;
    const quint8* m_bytes = nullptr; // encoded bytes, owned or viewed
    size_t m_prefix = 0;             // prefix bytes as found (0, 1 or 3; fewer when cut)
    quint16 m_content = 0;           // content bytes present (clamped for views)
    size_t m_writePos = 0;
    quint16 m_read = 0;
    bool m_owns = true;
};

// A party number with two leading octets (type of number and numbering plan,
// presentation and screening), then the digits.
class TCallingPartyNumber : public TStruct {
public:
    quint8 TypeOfNumber = 0;
    quint8 Presentation = 0;
    QString Digits;

    // The empty struct.
    TCallingPartyNumber();
    TCallingPartyNumber(quint8 typeOfNumber, quint8 presentation, const QString& digits);
    static std::unique_ptr<TCallingPartyNumber> CreateFrom(const quint8* bytes, size_t available);

private:
    TCallingPartyNumber(const quint8* bytes, size_t available);
};

// A number or subaddress with one leading octet, then the digits. Also decodes
// the called party number, which has the same shape.
class TCallingPartySubAddress : public TStruct {
public:
    quint8 TypeOfNumber = 0;
    QString Digits;

    TCallingPartySubAddress();
    TCallingPartySubAddress(quint8 typeOfNumber, const QString& digits);
    static std::unique_ptr<TCallingPartySubAddress> CreateFrom(const quint8* bytes,
                                                               size_t available);

private:
    TCallingPartySubAddress(const quint8* bytes, size_t available);
};

// B protocol: three protocol words and three configuration structs. The global
// configuration struct that may follow is never written.
class TBProtocol : public TStruct {
public:
    quint16 B1Protocol = 0;
    quint16 B2Protocol = 0;
    quint16 B3Protocol = 0;
    // Views over this struct's own bytes (empty for the empty B protocol).
    std::unique_ptr<TStruct> B1Configuration;
    std::unique_ptr<TStruct> B2Configuration;
    std::unique_ptr<TStruct> B3Configuration;

    // The empty B protocol (content length 0).
    TBProtocol();
    // Consumes the configuration structs; a null one is written empty.
    TBProtocol(quint16 b1, quint16 b2, quint16 b3, std::unique_ptr<TStruct> b1Configuration,
               std::unique_ptr<TStruct> b2Configuration, std::unique_ptr<TStruct> b3Configuration);
    static std::unique_ptr<TBProtocol> CreateFrom(const quint8* bytes, size_t available);

private:
    TBProtocol(const quint8* bytes, size_t available);
    void DecodeContent();
};

} // namespace kalvendo
