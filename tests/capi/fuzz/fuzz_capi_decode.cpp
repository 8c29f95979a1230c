// libFuzzer entry for the message decoders. Also linked into the corpus
// replay test of the normal build.

#include "capi/CapiMessage.h"
#include "capi/CapiStruct.h"

#include <cstdint>
#include <cstdlib>

using namespace kalvendo;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

using Decoder = std::unique_ptr<TCapiMessage> (*)(const quint8*, size_t);

void decodeWith(Decoder decode, const uint8_t* data, size_t size) {
    auto m = decode(data, size);
    require(m->Size() <= size);
    require(m->Size() <= size_t(m->Header().TotalLength));
    // Touches every decoded field, struct contents and digits included.
    const QString described = m->Describe();
    const QByteArray bytes = m->EncodedBytes();
    require(size_t(bytes.size()) == m->Size());
    // Decoding what we hold gives the same fields again.
    require(decode(reinterpret_cast<const quint8*>(bytes.constData()), size_t(bytes.size()))
                ->Describe() == described);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    decodeWith(&DecodeCapiMessage, data, size);
    decodeWith(&DecodeOutgoingCapiMessage, data, size);

    const auto view = TStruct::CreateView(data, size);
    require(view->WireSize() <= size);
    require(view->Content().size() == view->ContentLength());
    const auto number = TCallingPartyNumber::CreateFrom(data, size);
    require(number->Digits.size() <= number->ContentLength());
    const auto bProtocol = TBProtocol::CreateFrom(data, size);
    require(bProtocol->B1Configuration->WireSize() + bProtocol->B2Configuration->WireSize() +
                bProtocol->B3Configuration->WireSize() <=
            bProtocol->ContentLength());
    return 0;
}
