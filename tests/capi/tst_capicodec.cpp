#include "CapiTestMessages.h"

#include "capi/CapiMessage.h"

#include <QTest>

using namespace kalvendo;

namespace {

QByteArray encoded(const TStruct& s) {
    std::vector<quint8> out;
    s.AppendEncodedTo(out);
    return QByteArray(reinterpret_cast<const char*>(out.data()), qsizetype(out.size()));
}

const quint8* u8(const QByteArray& a) {
    return reinterpret_cast<const quint8*>(a.constData());
}

} // namespace

class TestCapiCodec : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void structSizes_data();
    void structSizes();
    void structViewClampsToAvailableBytes_data();
    void structViewClampsToAvailableBytes();
    void structReadPastContentGivesZeros();
    void callingPartyNumber_data();
    void callingPartyNumber();
    void subAddress_data();
    void subAddress();
    void numbersEncode();
    void messages_data();
    void messages();
    void applIdGoesIntoTheEncodedHeader();
    void cutAtEveryLength_data();
    void cutAtEveryLength();
    void cutMessages_data();
    void cutMessages();
    void oversizedMessageIsCutToItsHeader();
};

void TestCapiCodec::structSizes_data() {
    QTest::addColumn<int>("content");
    QTest::addColumn<int>("encodedSize");
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("empty") << 0 << 1 << QByteArray::fromHex("00");
    QTest::newRow("1") << 1 << 2 << QByteArray::fromHex("01");
    QTest::newRow("254") << 254 << 255 << QByteArray::fromHex("fe");
    QTest::newRow("255") << 255 << 258 << QByteArray::fromHex("ffff00");
    QTest::newRow("256") << 256 << 259 << QByteArray::fromHex("ff0001");
    QTest::newRow("65535") << 65535 << 65538 << QByteArray::fromHex("ffffff");
}

void TestCapiCodec::structSizes() {
    QFETCH(int, content);
    QFETCH(int, encodedSize);
    QFETCH(QByteArray, prefix);

    QByteArray body(content, '\0');
    for (int i = 0; i < content; ++i) {
        body[i] = char(i * 7 + 1);
    }
    const auto s = content == 0 ? TStruct::CreateEmpty() : TStruct::CreateWithContent(body);
    QCOMPARE(int(s->ContentLength()), content);
    QCOMPARE(int(s->EncodedSize()), encodedSize);
    const QByteArray bytes = encoded(*s);
    QCOMPARE(bytes.size(), encodedSize);
    QCOMPARE(bytes.left(prefix.size()), prefix);
    QCOMPARE(bytes.mid(prefix.size()), body);

    // Read back as a received struct.
    const auto view = TStruct::CreateView(u8(bytes), size_t(bytes.size()));
    QVERIFY(!view->OwnsBytes());
    QCOMPARE(int(view->ContentLength()), content);
    QCOMPARE(int(view->WireSize()), encodedSize);
    QCOMPARE(view->Content(), body);

    // Inside a message the struct keeps its encoding.
    TAlertReq alert(0x101, TStruct::CreateWithContent(body));
    QCOMPARE(int(alert.Size()), content == 65535 ? 8 : 12 + encodedSize);
}

void TestCapiCodec::structViewClampsToAvailableBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("available");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("wireSize");
    QTest::newRow("nothing left") << QByteArray() << 0 << QByteArray() << 0;
    QTest::newRow("prefix promises more")
        << QByteArray::fromHex("054142") << 3 << QByteArray("AB") << 3;
    QTest::newRow("escape cut after 0xFF") << QByteArray::fromHex("ff") << 1 << QByteArray() << 1;
    QTest::newRow("escape cut in its word")
        << QByteArray::fromHex("ff10") << 2 << QByteArray() << 2;
    QTest::newRow("escape promises 65535")
        << QByteArray::fromHex("ffffff41") << 4 << QByteArray("A") << 4;
    QTest::newRow("escape for a short content")
        << QByteArray::fromHex("ff0300414243") << 6 << QByteArray("ABC") << 6;
    QTest::newRow("bytes after the struct")
        << QByteArray::fromHex("02414243") << 4 << QByteArray("AB") << 3;
    QTest::newRow("available is less than given")
        << QByteArray::fromHex("03414243") << 2 << QByteArray("A") << 2;
}

void TestCapiCodec::structViewClampsToAvailableBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, available);
    QFETCH(QByteArray, content);
    QFETCH(int, wireSize);
    const auto view = TStruct::CreateView(bytes.isEmpty() ? nullptr : u8(bytes), size_t(available));
    QCOMPARE(view->Content(), content);
    QCOMPARE(int(view->ContentLength()), content.size());
    QCOMPARE(int(view->WireSize()), wireSize);
    // Re-encoding always writes the canonical form of what was there.
    QCOMPARE(encoded(*view).mid(1), content);
}

void TestCapiCodec::structReadPastContentGivesZeros() {
    const QByteArray bytes = QByteArray::fromHex("03aabbcc");
    const auto s = TStruct::CreateView(u8(bytes), size_t(bytes.size()));
    quint8 two[2] = {1, 1};
    QVERIFY(s->Read(two, 2));
    QCOMPARE(two[0], quint8(0xAA));
    QCOMPARE(two[1], quint8(0xBB));
    QVERIFY(!s->Read(two, 2)); // only one byte left: zeros, no advance
    QCOMPARE(two[0], quint8(0));
    QCOMPARE(two[1], quint8(0));
    QCOMPARE(int(s->BytesRead()), 2);
    quint8 one = 0;
    QVERIFY(s->Read(&one, 1));
    QCOMPARE(one, quint8(0xCC));
    s->Rewind();
    QCOMPARE(int(s->BytesRead()), 0);
    QVERIFY(s->Read(&one, 1));
    QCOMPARE(one, quint8(0xAA));
}

void TestCapiCodec::callingPartyNumber_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("typeOfNumber");
    QTest::addColumn<int>("presentation");
    QTest::addColumn<QString>("digits");
    QTest::newRow("empty") << QByteArray::fromHex("00") << 0 << 0 << QString();
    QTest::newRow("content 1") << QByteArray::fromHex("0121") << 0x21 << 0 << QString();
    QTest::newRow("content 2 (withheld)")
        << QByteArray::fromHex("0221a0") << 0x21 << 0xA0 << QString();
    QTest::newRow("one digit") << QByteArray::fromHex("03218033") << 0x21 << 0x80
                               << QStringLiteral("3");
    QTest::newRow("national") << QByteArray::fromHex("0b2180333031323334353637") << 0x21 << 0x80
                              << QStringLiteral("301234567");
    QTest::newRow("cut by the message end")
        << QByteArray::fromHex("0b21803330") << 0x21 << 0x80 << QStringLiteral("30");
}

void TestCapiCodec::callingPartyNumber() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, typeOfNumber);
    QFETCH(int, presentation);
    QFETCH(QString, digits);
    const auto n = TCallingPartyNumber::CreateFrom(u8(bytes), size_t(bytes.size()));
    QCOMPARE(int(n->TypeOfNumber), typeOfNumber);
    QCOMPARE(int(n->Presentation), presentation);
    QCOMPARE(n->Digits, digits);
}

void TestCapiCodec::subAddress_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("typeOfNumber");
    QTest::addColumn<QString>("digits");
    QTest::newRow("empty") << QByteArray::fromHex("00") << 0 << QString();
    QTest::newRow("content 1") << QByteArray::fromHex("0181") << 0x81 << QString();
    QTest::newRow("called number")
        << QByteArray::fromHex("058134373131") << 0x81 << QStringLiteral("4711");
}

void TestCapiCodec::subAddress() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, typeOfNumber);
    QFETCH(QString, digits);
    const auto n = TCallingPartySubAddress::CreateFrom(u8(bytes), size_t(bytes.size()));
    QCOMPARE(int(n->TypeOfNumber), typeOfNumber);
    QCOMPARE(n->Digits, digits);
}

void TestCapiCodec::numbersEncode() {
    QCOMPARE(encoded(TCallingPartyNumber(0x21, 0x80, QStringLiteral("301"))),
             QByteArray::fromHex("052180333031"));
    QCOMPARE(encoded(TCallingPartyNumber(0x00, 0x80, QString())), QByteArray::fromHex("020080"));
    QCOMPARE(encoded(TCallingPartyNumber()), QByteArray::fromHex("00"));
    QCOMPARE(encoded(TCallingPartySubAddress(0x80, QString())), QByteArray::fromHex("0180"));
    QCOMPARE(encoded(TCallingPartySubAddress(0x81, QStringLiteral("4711"))),
             QByteArray::fromHex("058134373131"));
    QCOMPARE(encoded(TBProtocol()), QByteArray::fromHex("00"));
    QCOMPARE(encoded(TBProtocol(1, 1, 0, capitest::content("aa"), nullptr, capitest::empty())),
             QByteArray::fromHex("0a 0100 0100 0000 01aa 00 00"));
}

void TestCapiCodec::messages_data() {
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QString>("builtDescription");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("outgoing");
    for (const capitest::Sample& s : capitest::samples()) {
        auto m = s.build();
        const QString builtDescription = m->Describe();
        QTest::newRow(s.name) << m->EncodedBytes() << builtDescription << capitest::bytes(s)
                              << QString::fromUtf8(s.description) << s.outgoing;
    }
}

void TestCapiCodec::messages() {
    QFETCH(QByteArray, built);
    QFETCH(QString, builtDescription);
    QFETCH(QByteArray, expected);
    QFETCH(QString, description);
    QFETCH(bool, outgoing);

    QCOMPARE(built.toHex(' '), expected.toHex(' '));
    // The consumed struct arguments became views over the message's own bytes.
    QCOMPARE(builtDescription, description);

    const auto decoded =
        outgoing ? DecodeOutgoingCapiMessage(expected) : DecodeCapiMessage(expected);
    QCOMPARE(decoded->Describe(), description);
    QCOMPARE(decoded->EncodedBytes(), expected);

    // The other direction's decoder does not know this command word.
    const auto plain = outgoing ? DecodeCapiMessage(expected) : DecodeOutgoingCapiMessage(expected);
    QCOMPARE(QByteArray(plain->Name()), QByteArray());
    QCOMPARE(plain->EncodedBytes(), expected);
    QCOMPARE(plain->Header().GetCommandWord(), decoded->Header().GetCommandWord());
}

void TestCapiCodec::applIdGoesIntoTheEncodedHeader() {
    TDisconnectResp resp(0x101);
    resp.Header().ApplID = 0x1234;
    QCOMPARE(resp.EncodedBytes(), QByteArray::fromHex("0c00 3412 0483 0000 01010000"));
    QCOMPARE(resp.Header().GetCommandWord(), quint16(0x0483));
    QCOMPARE(int(resp.Header().MessageNumber), 0);

    TCapiMessageHeader h;
    h.SetCommandWord(0x8282);
    QCOMPARE(int(h.Command), 0x82);
    QCOMPARE(int(h.Subcommand), 0x82);
}

void TestCapiCodec::cutAtEveryLength_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("outgoing");
    for (const capitest::Sample& s : capitest::samples()) {
        QTest::newRow(s.name) << capitest::bytes(s) << s.outgoing;
    }
}

// A message cut at any length decodes without reading past the cut: bytes
// after it are poisoned and must not show up in any field.
void TestCapiCodec::cutAtEveryLength() {
    QFETCH(QByteArray, message);
    QFETCH(bool, outgoing);
    const auto decode = outgoing
                            ? static_cast<std::unique_ptr<TCapiMessage> (*)(const quint8*, size_t)>(
                                  &DecodeOutgoingCapiMessage)
                            : static_cast<std::unique_ptr<TCapiMessage> (*)(const quint8*, size_t)>(
                                  &DecodeCapiMessage);
    const QString fullName =
        QString::fromLatin1(decode(u8(message), size_t(message.size()))->Name());

    for (int cut = 0; cut < message.size(); ++cut) {
        const QByteArray poisoned = message.left(cut) + QByteArray(300, char(0xEE));
        const QByteArray zeroed = message.left(cut) + QByteArray(300, '\0');
        const auto a = decode(u8(poisoned), size_t(cut));
        const auto b = decode(u8(zeroed), size_t(cut));
        const QByteArray where = "cut at " + QByteArray::number(cut);
        QVERIFY2(a->Describe() == b->Describe(), where.constData());
        // One byte does not even hold TotalLength: nothing is taken.
        QVERIFY2(int(a->Size()) == (cut < 2 ? 0 : cut), where.constData());
        // The command word is known from byte 6 on; before that it reads as 0.
        QVERIFY2(QString::fromLatin1(a->Name()) == (cut >= 6 ? fullName : QString()),
                 where.constData());
    }
}

void TestCapiCodec::cutMessages_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("description");
    const QByteArray disconnect = QByteArray::fromHex("0e000000 0482 0000 01010000 9034");
    QTest::newRow("reason missing")
        << disconnect.left(12) << QStringLiteral("DISCONNECT_IND PLCI=0x101 Reason=0x0");
    QTest::newRow("reason cut in half")
        << disconnect.left(13) << QStringLiteral("DISCONNECT_IND PLCI=0x101 Reason=0x0");
    QTest::newRow("PLCI cut, nothing after it is read")
        << disconnect.left(10) << QStringLiteral("DISCONNECT_IND PLCI=0x0 Reason=0x0");

    QByteArray shortTotal = disconnect;
    shortTotal[0] = char(12);
    QTest::newRow("TotalLength shorter than the bytes")
        << shortTotal << QStringLiteral("DISCONNECT_IND PLCI=0x101 Reason=0x0");
    QByteArray hugeTotal = disconnect;
    hugeTotal[0] = char(0xFF);
    hugeTotal[1] = char(0xFF);
    QTest::newRow("TotalLength beyond the bytes")
        << hugeTotal << QStringLiteral("DISCONNECT_IND PLCI=0x101 Reason=0x3490");

    const QByteArray connect = QByteArray::fromHex(
        "26000000 0282 0000 01010000 0100 0581 34373131 0b2180 333031323334353637 "
        "00 00 00 00 00 00");
    QTest::newRow("CONNECT_IND cut inside the caller's digits")
        << connect.left(26)
        << QStringLiteral("CONNECT_IND PLCI=0x101 CIPValue=0x1 CalledPartyNumber=(81 \"4711\") "
                          "CallingPartyNumber=(21 80 \"301\") CalledPartySubAddress=() "
                          "CallingPartySubAddress=() BC=() LLC=() HLC=() AdditionalInfo=()");
    QByteArray escaped = connect.left(20) + QByteArray::fromHex("ffffff2180");
    escaped[0] = char(escaped.size());
    QTest::newRow("CONNECT_IND with a 65535-byte prefix on 2 bytes")
        << escaped
        << QStringLiteral("CONNECT_IND PLCI=0x101 CIPValue=0x1 CalledPartyNumber=(81 \"4711\") "
                          "CallingPartyNumber=(21 80) CalledPartySubAddress=() "
                          "CallingPartySubAddress=() BC=() LLC=() HLC=() AdditionalInfo=()");
    QTest::newRow("unknown command word") << QByteArray::fromHex("0e000000 4182 0000 01010000 0000")
                                          << QStringLiteral("message 0x4182 (14 bytes)");
    QTest::newRow("header only") << QByteArray::fromHex("0800 0000 0000 0000")
                                 << QStringLiteral("message 0x0 (8 bytes)");
}

void TestCapiCodec::cutMessages() {
    QFETCH(QByteArray, message);
    QFETCH(QString, description);
    QCOMPARE(DecodeCapiMessage(message)->Describe(), description);
}

void TestCapiCodec::oversizedMessageIsCutToItsHeader() {
    // No message we build comes near 65535 bytes; one that would must not
    // carry a wrapped-around TotalLength.
    TAlertReq alert(0x101, TStruct::CreateWithContent(QByteArray(65530, 'x')));
    QCOMPARE(int(alert.Size()), 8);
    QCOMPARE(int(alert.Header().TotalLength), 8);
    QCOMPARE(alert.EncodedBytes(), QByteArray::fromHex("0800 0000 0180 0000"));
}

QTEST_GUILESS_MAIN(TestCapiCodec)
#include "tst_capicodec.moc"
