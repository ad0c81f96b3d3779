#include "core/update/UpdateSignature.h"

#include "core/Files.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <sodium.h>

namespace zv::update {

namespace {

const QByteArray kUntrusted = QByteArrayLiteral("untrusted comment: ");
const QByteArray kTrusted = QByteArrayLiteral("trusted comment: ");
const QByteArray kEd = QByteArrayLiteral("Ed");
const QByteArray kPrehashed = QByteArrayLiteral("ED");

constexpr int kKeyIdBytes = 8;
constexpr int kPublicBytes = crypto_sign_PUBLICKEYBYTES;
constexpr int kSecretBytes = crypto_sign_SECRETKEYBYTES;
constexpr int kSignatureBytes = crypto_sign_BYTES;
constexpr int kHashBytes = crypto_generichash_BYTES_MAX; // BLAKE2b-512
constexpr int kChecksumBytes = crypto_generichash_BYTES; // BLAKE2b-256
// minisign's own limit for a comment; longer lines are not of its making.
constexpr int kCommentMax = 1024;
constexpr qsizetype kFileMax = 8192;

// Secret key file layout: "Ed", KDF algorithm, "B2", KDF salt, ops limit, memory limit,
// key id, secret key, checksum.
constexpr int kSaltBytes = 32;
constexpr int kKeyIdAt = 2 + 2 + 2 + kSaltBytes + 8 + 8;
constexpr int kSecretAt = kKeyIdAt + kKeyIdBytes;
constexpr int kChecksumAt = kSecretAt + kSecretBytes;
constexpr int kSecretFileBytes = kChecksumAt + kChecksumBytes;

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

const unsigned char *bytes(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}

unsigned char *bytes(QByteArray &data)
{
    return reinterpret_cast<unsigned char *>(data.data());
}

// Exactly `count` lines, each ending in LF or CR LF; the last line break may be missing.
std::optional<QList<QByteArray>> splitLines(const QByteArray &text, int count)
{
    if (text.size() > kFileMax)
        return std::nullopt;
    QByteArray body = text;
    if (body.endsWith('\n'))
        body.chop(1);
    QList<QByteArray> lines = body.split('\n');
    if (lines.size() != count)
        return std::nullopt;
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.contains('\r') || line.contains('\0'))
            return std::nullopt;
    }
    return lines;
}

bool isComment(const QByteArray &line, const QByteArray &prefix)
{
    return line.startsWith(prefix) && line.size() - prefix.size() <= kCommentMax;
}

// Standard base64 with padding, nothing around it, decoding to exactly `size` bytes.
std::optional<QByteArray> decodeExact(const QByteArray &text, int size)
{
    if (!sodiumReady())
        return std::nullopt;
    QByteArray out(size, '\0');
    size_t length = 0;
    const char *end = nullptr;
    if (sodium_base642bin(bytes(out), size_t(size), text.constData(), size_t(text.size()), nullptr, &length, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0)
        return std::nullopt;
    if (end != text.constData() + text.size() || length != size_t(size))
        return std::nullopt;
    return out;
}

QByteArray encode(const QByteArray &data)
{
    QByteArray out(int(sodium_base64_ENCODED_LEN(size_t(data.size()), sodium_base64_VARIANT_ORIGINAL)), '\0');
    sodium_bin2base64(out.data(), size_t(out.size()), bytes(data), size_t(data.size()), sodium_base64_VARIANT_ORIGINAL);
    out.chop(1); // the terminating zero
    return out;
}

QByteArray checksum(const QByteArray &keyId, const QByteArray &secret)
{
    const QByteArray input = kEd + keyId + secret;
    QByteArray out(kChecksumBytes, '\0');
    crypto_generichash(bytes(out), size_t(out.size()), bytes(input), size_t(input.size()), nullptr, 0);
    return out;
}

// BLAKE2b-512 of a whole file, read in pieces so a large archive never sits in memory at once.
std::optional<QByteArray> hashFile(const QString &path)
{
    QFile file(path);
    if (!openRegularFile(file))
        return std::nullopt;
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, kHashBytes);
    QByteArray chunk(1 << 16, '\0');
    for (;;) {
        const qint64 got = file.read(chunk.data(), chunk.size());
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        crypto_generichash_update(&state, bytes(chunk), size_t(got));
    }
    QByteArray hash(kHashBytes, '\0');
    crypto_generichash_final(&state, bytes(hash), size_t(hash.size()));
    return hash;
}

bool verifyDetached(const QByteArray &signature, const unsigned char *message, size_t length, const QByteArray &key)
{
    return crypto_sign_verify_detached(bytes(signature), message, length, bytes(key)) == 0;
}

QByteArray signDetached(const QByteArray &message, const QByteArray &secret)
{
    QByteArray signature(kSignatureBytes, '\0');
    crypto_sign_detached(bytes(signature), nullptr, bytes(message), size_t(message.size()), bytes(secret));
    return signature;
}

} // namespace

QString keyIdText(const QByteArray &keyId)
{
    QByteArray reversed(keyId.size(), '\0');
    std::reverse_copy(keyId.begin(), keyId.end(), reversed.begin());
    return QString::fromLatin1(reversed.toHex().toUpper());
}

std::optional<PublicKey> parsePublicKey(const QByteArray &text)
{
    const auto lines = splitLines(text, 2);
    if (!lines || !isComment(lines->at(0), kUntrusted))
        return std::nullopt;
    const auto raw = decodeExact(lines->at(1), 2 + kKeyIdBytes + kPublicBytes);
    if (!raw || !raw->startsWith(kEd))
        return std::nullopt;
    return PublicKey{raw->mid(2, kKeyIdBytes), raw->mid(2 + kKeyIdBytes)};
}

std::optional<Signature> parseSignature(const QByteArray &text)
{
    const auto lines = splitLines(text, 4);
    if (!lines || !isComment(lines->at(0), kUntrusted) || !isComment(lines->at(2), kTrusted))
        return std::nullopt;
    const auto raw = decodeExact(lines->at(1), 2 + kKeyIdBytes + kSignatureBytes);
    const auto global = decodeExact(lines->at(3), kSignatureBytes);
    if (!raw || !global)
        return std::nullopt;
    Signature signature;
    const QByteArray algorithm = raw->left(2);
    if (algorithm == kPrehashed)
        signature.prehashed = true;
    else if (algorithm == kEd)
        signature.prehashed = false;
    else
        return std::nullopt;
    signature.keyId = raw->mid(2, kKeyIdBytes);
    signature.signature = raw->mid(2 + kKeyIdBytes);
    signature.trustedComment = lines->at(2).mid(kTrusted.size());
    signature.globalSignature = *global;
    return signature;
}

std::optional<SecretKey> parseSecretKey(const QByteArray &text, QString *why)
{
    const auto fail = [why](const QString &reason) -> std::optional<SecretKey> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    const auto lines = splitLines(text, 2);
    if (!lines || !isComment(lines->at(0), kUntrusted))
        return fail(QStringLiteral("not a minisign secret key file"));
    const auto raw = decodeExact(lines->at(1), kSecretFileBytes);
    if (!raw || !raw->startsWith(kEd) || raw->mid(4, 2) != QByteArrayLiteral("B2"))
        return fail(QStringLiteral("not a minisign Ed25519 secret key"));
    if (raw->mid(2, 2) != QByteArray(2, '\0'))
        return fail(QStringLiteral("the secret key is protected by a password; make an unencrypted key "
                                   "(--new-key, or minisign -G -W), or sign with minisign -S yourself"));
    SecretKey key{raw->mid(kKeyIdAt, kKeyIdBytes), raw->mid(kSecretAt, kSecretBytes)};
    // minisign 0.11 leaves the checksum of an unencrypted key zero; any other value must be right.
    const QByteArray stored = raw->mid(kChecksumAt, kChecksumBytes);
    if (stored != QByteArray(kChecksumBytes, '\0') && stored != checksum(key.keyId, key.secret))
        return fail(QStringLiteral("the secret key is damaged (wrong checksum)"));
    // The public half stored in the key must be the one its seed gives, or signatures would not verify.
    QByteArray seed(crypto_sign_SEEDBYTES, '\0');
    QByteArray publicKey(kPublicBytes, '\0');
    QByteArray secret(kSecretBytes, '\0');
    crypto_sign_ed25519_sk_to_seed(bytes(seed), bytes(key.secret));
    crypto_sign_seed_keypair(bytes(publicKey), bytes(secret), bytes(seed));
    const bool consistent = secret == key.secret;
    sodium_memzero(seed.data(), size_t(seed.size()));
    sodium_memzero(secret.data(), size_t(secret.size()));
    if (!consistent)
        return fail(QStringLiteral("the secret key is damaged (its halves do not match)"));
    return key;
}

KeyPairFiles generateKeyPair()
{
    KeyPairFiles files;
    if (!sodiumReady())
        return files;
    QByteArray keyId(kKeyIdBytes, '\0');
    QByteArray publicKey(kPublicBytes, '\0');
    QByteArray secret(kSecretBytes, '\0');
    randombytes_buf(keyId.data(), size_t(keyId.size()));
    crypto_sign_keypair(bytes(publicKey), bytes(secret));
    files.keyId = keyIdText(keyId);

    files.publicFile = kUntrusted + QByteArrayLiteral("minisign public key ") + files.keyId.toLatin1() + '\n' +
                       encode(kEd + keyId + publicKey) + '\n';
    // No key derivation: salt and limits stay zero, as minisign -G -W writes them.
    QByteArray raw = kEd + QByteArray(2, '\0') + QByteArrayLiteral("B2") + QByteArray(kSaltBytes + 8 + 8, '\0') +
                     keyId + secret + checksum(keyId, secret);
    files.secretFile = kUntrusted + QByteArrayLiteral("minisign secret key, not encrypted\n") + encode(raw) + '\n';
    sodium_memzero(raw.data(), size_t(raw.size()));
    sodium_memzero(secret.data(), size_t(secret.size()));
    return files;
}

std::optional<QByteArray> signFile(const QString &path, const SecretKey &key, const QByteArray &trustedComment)
{
    if (!sodiumReady() || key.secret.size() != kSecretBytes || key.keyId.size() != kKeyIdBytes ||
        trustedComment.size() > kCommentMax || trustedComment.contains('\n') || trustedComment.contains('\r') ||
        trustedComment.contains('\0'))
        return std::nullopt;
    const auto hash = hashFile(path);
    if (!hash)
        return std::nullopt;
    const QByteArray signature = signDetached(*hash, key.secret);
    const QByteArray global = signDetached(signature + trustedComment, key.secret);
    return kUntrusted + QByteArrayLiteral("signature from zorvanell-publish secret key\n") +
           encode(kPrehashed + key.keyId + signature) + '\n' + kTrusted + trustedComment + '\n' + encode(global) + '\n';
}

bool verifyFile(const QString &path, const Signature &signature, const PublicKey &key)
{
    if (!sodiumReady() || key.key.size() != kPublicBytes || signature.signature.size() != kSignatureBytes ||
        signature.globalSignature.size() != kSignatureBytes || signature.keyId != key.keyId)
        return false;
    bool fileHolds = false;
    if (signature.prehashed) {
        const auto hash = hashFile(path);
        fileHolds = hash && verifyDetached(signature.signature, bytes(*hash), size_t(hash->size()), key.key);
    } else {
        QFile file(path);
        if (!openRegularFile(file))
            return false;
        if (file.size() == 0) {
            fileHolds = verifyDetached(signature.signature, nullptr, 0, key.key);
        } else {
            const uchar *mapped = file.map(0, file.size());
            fileHolds = mapped && verifyDetached(signature.signature, mapped, size_t(file.size()), key.key);
        }
    }
    if (!fileHolds)
        return false;
    const QByteArray commented = signature.signature + signature.trustedComment;
    return verifyDetached(signature.globalSignature, bytes(commented), size_t(commented.size()), key.key);
}

QList<PublicKey> loadPublicKeys(const QString &folder)
{
    QList<PublicKey> keys;
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.pub")}, QDir::Files, QDir::Name);
    for (const QFileInfo &info : files) {
        QFile file(info.filePath());
        if (!openRegularFile(file))
            continue;
        if (const auto key = parsePublicKey(file.read(kFileMax + 1)))
            keys << *key;
    }
    return keys;
}

} // namespace zv::update
