#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Ed25519 signatures in minisign's file formats, so that the minisign tool and the program
// can check each other's files. Key ids and keys are raw bytes as they lie in the files.
namespace zv::update {

struct PublicKey
{
    QByteArray keyId; // 8 bytes
    QByteArray key;   // 32 bytes
};

struct SecretKey
{
    QByteArray keyId;  // 8 bytes
    QByteArray secret; // 64 bytes: libsodium's Ed25519 secret key (seed and public half)
};

struct Signature
{
    bool prehashed = true; // "ED": signs the BLAKE2b-512 hash of the file; "Ed": the file itself
    QByteArray keyId;      // 8 bytes
    QByteArray signature;  // 64 bytes
    QByteArray trustedComment;
    QByteArray globalSignature; // 64 bytes, over `signature` followed by `trustedComment`
};

// The key id as minisign prints it: the 8 bytes read as a little-endian number, in upper-case hex.
QString keyIdText(const QByteArray &keyId);

// Strict readers: the exact number of lines (LF or CR LF, a final line break optional), the
// comment prefixes, the algorithm bytes, and base64 that decodes to exactly the expected size.
std::optional<PublicKey> parsePublicKey(const QByteArray &text);
std::optional<Signature> parseSignature(const QByteArray &text);
// Only unencrypted secret keys (`minisign -G -W`, or ours); `why` says what is wrong otherwise.
std::optional<SecretKey> parseSecretKey(const QByteArray &text, QString *why = nullptr);

struct KeyPairFiles
{
    QByteArray publicFile;
    QByteArray secretFile;
    QString keyId;
};
KeyPairFiles generateKeyPair();

// The .minisig text for the file at `path` (prehashed), or nothing when it cannot be read.
std::optional<QByteArray> signFile(const QString &path, const SecretKey &key, const QByteArray &trustedComment);

// True when both signatures hold: the file's and the one over the trusted comment.
// The caller has matched the key ids already.
bool verifyFile(const QString &path, const Signature &signature, const PublicKey &key);

// Every well-formed *.pub of `folder`; damaged ones are left out.
QList<PublicKey> loadPublicKeys(const QString &folder);

} // namespace zv::update
