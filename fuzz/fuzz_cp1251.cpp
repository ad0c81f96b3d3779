// The Windows-1251 codec: bytes to text and back, text to bytes and back, and the decoding
// compared with the ICU converter Qt offers for the same code page.
#include "FuzzTarget.h"
#include "core/TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // Every byte is one character; every character but the unassigned 0x98 comes back as its byte.
    const QString text = zv::fromCp1251(bytes);
    ZV_FUZZ_CHECK(text.size() == bytes.size());
    const QByteArray back = zv::toCp1251(text);
    ZV_FUZZ_CHECK(back.size() == bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        ZV_FUZZ_CHECK(back.at(i) == (bytes.at(i) == '\x98' ? '?' : bytes.at(i)));

    static QStringDecoder icu("windows-1251", QStringConverter::Flag::Stateless);
    if (icu.isValid() && !bytes.contains('\x98')) {
        const QString reference = icu.decode(bytes);
        ZV_FUZZ_CHECK(reference == text);
    }

    // The same bytes as UTF-16 text: one byte per character, '?' for what the code page lacks,
    // and what it holds comes back unchanged.
    QString utf16(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(utf16.data(), data, size_t(utf16.size()) * sizeof(QChar));
    const QByteArray encoded = zv::toCp1251(utf16);
    ZV_FUZZ_CHECK(encoded.size() == utf16.size());
    const QString decoded = zv::fromCp1251(encoded);
    static QStringEncoder icuEncoder("windows-1251", QStringConverter::Flag::Stateless);
    for (qsizetype i = 0; i < utf16.size(); ++i) {
        ZV_FUZZ_CHECK(decoded.at(i) == utf16.at(i) || encoded.at(i) == '?');
        if (!icuEncoder.isValid())
            continue;
        // A character ICU writes as one byte that reads back as the same character is in the code page.
        const QByteArray reference = icuEncoder.encode(QStringView(utf16.constData() + i, 1));
        if (reference.size() == 1 && zv::fromCp1251(reference).at(0) == utf16.at(i))
            ZV_FUZZ_CHECK(encoded.at(i) == reference.at(0));
    }
    return 0;
}
