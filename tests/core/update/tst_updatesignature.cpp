#include "core/update/ProgramUpdate.h"
#include "core/update/UpdateSignature.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

using namespace zv::update;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

// Replaces line `index` (0-based) of a key or signature file.
QByteArray withLine(const QByteArray &text, int index, const QByteArray &line)
{
    QList<QByteArray> lines = text.split('\n');
    lines[index] = line;
    return lines.join('\n');
}

QByteArray line(const QByteArray &text, int index)
{
    return text.split('\n').value(index);
}

// Base64 of `raw` changed by `change`.
QByteArray rewritten(const QByteArray &base64, const std::function<void(QByteArray &)> &change)
{
    QByteArray raw = QByteArray::fromBase64(base64);
    change(raw);
    return raw.toBase64();
}

} // namespace

class TestUpdateSignature : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_minisign;
    QString m_file;
    QByteArray m_ourPublic;
    SecretKey m_ourSecret;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Runs minisign; its exit code, or -1 when it could not run.
    int minisign(const QStringList &arguments, QByteArray *output = nullptr)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(m_minisign, arguments);
        process.closeWriteChannel();
        if (!process.waitForFinished(30000))
            return -1;
        if (output)
            *output = process.readAll();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    bool verifies(const QByteArray &publicFile, const QByteArray &signatureFile, const QString &file)
    {
        const auto key = parsePublicKey(publicFile);
        const auto signature = parseSignature(signatureFile);
        return key && signature && verifyFile(file, *signature, *key);
    }

private slots:
    void initTestCase()
    {
        m_minisign = QStandardPaths::findExecutable(QStringLiteral("minisign"));
        m_file = path(QStringLiteral("update.rar"));
        QByteArray content;
        for (int i = 0; i < 100000; ++i)
            content += char(i * 7);
        writeAll(m_file, content);
        const KeyPairFiles pair = generateKeyPair();
        m_ourPublic = pair.publicFile;
        m_ourSecret = parseSecretKey(pair.secretFile).value_or(SecretKey{});
        QCOMPARE(m_ourSecret.secret.size(), 64);
        writeAll(path(QStringLiteral("ours.pub")), pair.publicFile);
        writeAll(path(QStringLiteral("ours.key")), pair.secretFile);
        QCOMPARE(line(pair.publicFile, 0), "untrusted comment: minisign public key " + pair.keyId.toLatin1());
    }

    void ourSignatureVerifiesAndEveryPartCounts()
    {
        const QByteArray signature = signFile(m_file, m_ourSecret, "timestamp:1\tfile:update.rar\tbuild:7").value();
        QVERIFY(verifies(m_ourPublic, signature, m_file));
        QCOMPARE(parseSignature(signature)->trustedComment, QByteArray("timestamp:1\tfile:update.rar\tbuild:7"));

        // One flipped byte of the file.
        QByteArray content = readAll(m_file);
        content[content.size() / 2] = char(content.at(content.size() / 2) ^ 1);
        writeAll(path(QStringLiteral("flipped")), content);
        QVERIFY(!verifies(m_ourPublic, signature, path(QStringLiteral("flipped"))));
        // Another trusted comment under the same signatures.
        QVERIFY(!verifies(m_ourPublic, withLine(signature, 2, "trusted comment: timestamp:1\tbuild:999999"), m_file));
        // Another key's public half under the same key id.
        const QByteArray other = generateKeyPair().publicFile;
        const QByteArray sameId =
            withLine(other, 1, rewritten(line(other, 1), [&](QByteArray &raw) {
                         raw.replace(2, 8, QByteArray::fromBase64(line(m_ourPublic, 1)).mid(2, 8));
                     }));
        QVERIFY(parsePublicKey(sameId));
        QVERIFY(!verifies(sameId, signature, m_file));
        // A key id that does not match the signature's.
        QVERIFY(!verifies(other, signature, m_file));
        // The global signature of another comment.
        const QByteArray second = signFile(m_file, m_ourSecret, "other").value();
        QVERIFY(!verifies(m_ourPublic, withLine(signature, 3, line(second, 3)), m_file));
    }

    void strictReading_data()
    {
        QTest::addColumn<int>("which"); // 0: public key, 1: signature
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("accepted");
        const KeyPairFiles pair = generateKeyPair();
        const QByteArray key = pair.publicFile;
        SecretKey secret = parseSecretKey(pair.secretFile).value();
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write("x");
        file.flush();
        const QByteArray sig = signFile(file.fileName(), secret, "comment").value();

        QTest::newRow("key as written") << 0 << key << true;
        QTest::newRow("key with CR LF") << 0 << QByteArray(key).replace("\n", "\r\n") << true;
        QTest::newRow("key without a final line break") << 0 << key.chopped(1) << true;
        QTest::newRow("key with an empty line after") << 0 << key + "\n" << false;
        QTest::newRow("key without the comment prefix") << 0 << withLine(key, 0, "comment: x") << false;
        QTest::newRow("key base64 without padding") << 0 << withLine(key, 1, line(key, 1).chopped(1)) << false;
        QTest::newRow("key base64 with a blank") << 0 << withLine(key, 1, " " + line(key, 1)) << false;
        QTest::newRow("key base64 with a bad character") << 0 << withLine(key, 1, "*" + line(key, 1).mid(1)) << false;
        QTest::newRow("key one byte short")
            << 0 << withLine(key, 1, rewritten(line(key, 1), [](QByteArray &raw) { raw.chop(1); })) << false;
        QTest::newRow("key one byte long")
            << 0 << withLine(key, 1, rewritten(line(key, 1), [](QByteArray &raw) { raw += 'x'; })) << false;
        QTest::newRow("key of another algorithm")
            << 0 << withLine(key, 1, rewritten(line(key, 1), [](QByteArray &raw) { raw[1] = 'c'; })) << false;
        QTest::newRow("key with a NUL in the comment")
            << 0 << withLine(key, 0, QByteArray("untrusted comment: a\0b", 22)) << false;

        QTest::newRow("signature as written") << 1 << sig << true;
        QTest::newRow("signature, legacy algorithm")
            << 1 << withLine(sig, 1, rewritten(line(sig, 1), [](QByteArray &raw) { raw[1] = 'd'; })) << true;
        QTest::newRow("signature of an unknown algorithm")
            << 1 << withLine(sig, 1, rewritten(line(sig, 1), [](QByteArray &raw) { raw[1] = 'X'; })) << false;
        QTest::newRow("signature without trusted comment prefix")
            << 1 << withLine(sig, 2, "untrusted comment: comment") << false;
        QTest::newRow("signature with three lines")
            << 1 << sig.left(sig.lastIndexOf('\n', sig.size() - 2) + 1) << false;
        QTest::newRow("signature with a fifth line") << 1 << sig + "extra\n" << false;
        QTest::newRow("signature with a short global signature")
            << 1 << withLine(sig, 3, rewritten(line(sig, 3), [](QByteArray &raw) { raw.chop(1); })) << false;
        QTest::newRow("signature with a too long trusted comment")
            << 1 << withLine(sig, 2, "trusted comment: " + QByteArray(1025, 'x')) << false;
        QTest::newRow("garbage") << 1 << QByteArray("\x89PNG\r\n\x1a\n garbage that is no signature at all") << false;
        QTest::newRow("empty") << 1 << QByteArray() << false;
        QTest::newRow("an HTML error page")
            << 1 << QByteArray("<html>\n<head><title>404</title></head>\n<body>\n</html>\n") << false;
    }

    void strictReading()
    {
        QFETCH(int, which);
        QFETCH(QByteArray, text);
        QFETCH(bool, accepted);
        QCOMPARE(which == 0 ? parsePublicKey(text).has_value() : parseSignature(text).has_value(), accepted);
    }

    void secretKeys()
    {
        QVERIFY(parseSecretKey(readAll(path(QStringLiteral("ours.key")))));
        const QByteArray text = readAll(path(QStringLiteral("ours.key")));
        QString why;
        const auto change = [&](const std::function<void(QByteArray &)> &how) {
            return parseSecretKey(withLine(text, 1, rewritten(line(text, 1), how)), &why).has_value();
        };
        // A password-protected key (scrypt) is refused with a reason.
        QVERIFY(!change([](QByteArray &raw) { raw.replace(2, 2, "Sc"); }));
        QVERIFY(why.contains(QStringLiteral("password")));
        // A wrong checksum, or a secret half that does not give the stored public half.
        QVERIFY(!change([](QByteArray &raw) { raw[raw.size() - 1] = char(raw.at(raw.size() - 1) ^ 1); }));
        QVERIFY(why.contains(QStringLiteral("checksum")));
        QVERIFY(!change([](QByteArray &raw) {
            raw[62 + 40] = char(raw.at(62 + 40) ^ 1);
            raw.replace(raw.size() - 32, 32, QByteArray(32, '\0'));
        }));
        QVERIFY(why.contains(QStringLiteral("halves")));
        // An empty checksum, as minisign 0.11 writes for unencrypted keys.
        QVERIFY(change([](QByteArray &raw) { raw.replace(raw.size() - 32, 32, QByteArray(32, '\0')); }));
    }

    void keysFolder()
    {
        QTemporaryDir keys;
        writeAll(keys.filePath(QStringLiteral("a.pub")), m_ourPublic);
        writeAll(keys.filePath(QStringLiteral("b.pub")), generateKeyPair().publicFile);
        writeAll(keys.filePath(QStringLiteral("damaged.pub")), "untrusted comment: x\nnot base64\n");
        writeAll(keys.filePath(QStringLiteral("secret.key")), readAll(path(QStringLiteral("ours.key"))));
        QCOMPARE(loadPublicKeys(keys.path()).size(), 2);
        QVERIFY(loadPublicKeys(keys.filePath(QStringLiteral("missing"))).isEmpty());
    }

    void minisignVerifiesOurs()
    {
        if (m_minisign.isEmpty())
            QSKIP("minisign is not installed (Debian package minisign); the cross-check cannot run");
        const QString sigPath = path(QStringLiteral("ours.minisig"));
        writeAll(sigPath, signFile(m_file, m_ourSecret, "timestamp:5\tfile:update.rar\tbuild:600000").value());
        QByteArray output;
        QCOMPARE(minisign({QStringLiteral("-V"), QStringLiteral("-p"), path(QStringLiteral("ours.pub")),
                           QStringLiteral("-m"), m_file, QStringLiteral("-x"), sigPath},
                          &output),
                 0);
        QVERIFY2(output.contains("timestamp:5\tfile:update.rar\tbuild:600000"), output.constData());
        // minisign refuses it for another file, so its success above means something.
        writeAll(path(QStringLiteral("other")), "other");
        QVERIFY(minisign({QStringLiteral("-V"), QStringLiteral("-p"), path(QStringLiteral("ours.pub")),
                          QStringLiteral("-m"), path(QStringLiteral("other")), QStringLiteral("-x"), sigPath}) != 0);
        // minisign signs with our secret key, and we verify that.
        const QString bySecret = path(QStringLiteral("by-our-key.minisig"));
        QCOMPARE(minisign({QStringLiteral("-S"), QStringLiteral("-s"), path(QStringLiteral("ours.key")),
                           QStringLiteral("-m"), m_file, QStringLiteral("-x"), bySecret, QStringLiteral("-t"),
                           QStringLiteral("build:1")}),
                 0);
        QVERIFY(verifies(m_ourPublic, readAll(bySecret), m_file));
    }

    void weVerifyMinisigns()
    {
        if (m_minisign.isEmpty())
            QSKIP("minisign is not installed (Debian package minisign); the cross-check cannot run");
        const QString pub = path(QStringLiteral("theirs.pub"));
        const QString key = path(QStringLiteral("theirs.key"));
        QCOMPARE(minisign({QStringLiteral("-G"), QStringLiteral("-W"), QStringLiteral("-p"), pub, QStringLiteral("-s"),
                           key}),
                 0);
        QVERIFY(parsePublicKey(readAll(pub)));
        // Its unencrypted secret key is one our publisher can sign with.
        const auto secret = parseSecretKey(readAll(key));
        QVERIFY(secret);
        QVERIFY(verifies(readAll(pub), signFile(m_file, *secret, "ours with their key").value(), m_file));

        const QString prehashed = path(QStringLiteral("theirs.minisig"));
        const QString legacy = path(QStringLiteral("theirs-legacy.minisig"));
        QCOMPARE(minisign({QStringLiteral("-S"), QStringLiteral("-s"), key, QStringLiteral("-m"), m_file,
                           QStringLiteral("-x"), prehashed, QStringLiteral("-t"), QStringLiteral("build:600000")}),
                 0);
        QCOMPARE(minisign({QStringLiteral("-S"), QStringLiteral("-l"), QStringLiteral("-s"), key, QStringLiteral("-m"),
                           m_file, QStringLiteral("-x"), legacy}),
                 0);
        const auto legacySignature = parseSignature(readAll(legacy));
        QVERIFY(legacySignature && !legacySignature->prehashed);
        QVERIFY(parseSignature(readAll(prehashed))->prehashed);
        QVERIFY(verifies(readAll(pub), readAll(prehashed), m_file));
        QVERIFY(verifies(readAll(pub), readAll(legacy), m_file));
        QCOMPARE(parseSignature(readAll(prehashed))->trustedComment, QByteArray("build:600000"));

        // A flipped byte fails both forms; a key of our own does not verify their signature.
        QByteArray content = readAll(m_file);
        content[10] = char(content.at(10) ^ 0x40);
        writeAll(path(QStringLiteral("flipped")), content);
        QVERIFY(!verifies(readAll(pub), readAll(prehashed), path(QStringLiteral("flipped"))));
        QVERIFY(!verifies(readAll(pub), readAll(legacy), path(QStringLiteral("flipped"))));
        QVERIFY(!verifies(m_ourPublic, readAll(prehashed), m_file));

        // The whole check of a downloaded archive with their files: keys folder, key id, build.
        QTemporaryDir keys;
        QVERIFY(QFile::copy(pub, keys.filePath(QStringLiteral("release.pub"))));
        QCOMPARE(checkArchive(m_file, prehashed, keys.path(), 600000, 500501), ArchiveVerdict::Good);
        // The legacy signature carries minisign's own comment, which names no build.
        QCOMPARE(checkArchive(m_file, legacy, keys.path(), 600000, 500501), ArchiveVerdict::WrongBuild);
    }

    void archiveVerdicts()
    {
        QTemporaryDir keys;
        writeAll(keys.filePath(QStringLiteral("ours.pub")), m_ourPublic);
        const auto signedAs = [&](const QByteArray &comment) {
            const QString sig = path(QStringLiteral("verdict.minisig"));
            writeAll(sig, signFile(m_file, m_ourSecret, comment).value());
            return sig;
        };
        const QString good = signedAs("timestamp:1\tfile:update.rar\thashed\t" + buildField(500502));
        QCOMPARE(checkArchive(m_file, good, keys.path(), 500502, 500501), ArchiveVerdict::Good);
        QCOMPARE(checkArchive(m_file, path(QStringLiteral("missing.minisig")), keys.path(), 500502, 500501),
                 ArchiveVerdict::MissingSignature);
        QCOMPARE(checkArchive(m_file, good, path(QStringLiteral("no-keys")), 500502, 500501),
                 ArchiveVerdict::NoTrustedKeys);
        writeAll(path(QStringLiteral("garbage.minisig")), QByteArray(300, '\x17'));
        QCOMPARE(checkArchive(m_file, path(QStringLiteral("garbage.minisig")), keys.path(), 500502, 500501),
                 ArchiveVerdict::DamagedSignature);
        const KeyPairFiles stranger = generateKeyPair();
        writeAll(path(QStringLiteral("stranger.minisig")),
                 signFile(m_file, parseSecretKey(stranger.secretFile).value(), buildField(500502)).value());
        QCOMPARE(checkArchive(m_file, path(QStringLiteral("stranger.minisig")), keys.path(), 500502, 500501),
                 ArchiveVerdict::UnknownKey);
        writeAll(path(QStringLiteral("tampered")), readAll(m_file) + "x");
        QCOMPARE(checkArchive(path(QStringLiteral("tampered")), good, keys.path(), 500502, 500501),
                 ArchiveVerdict::BadSignature);
        // The server offers a build other than the signed one, or an old signed archive as a new one.
        QCOMPARE(checkArchive(m_file, good, keys.path(), 600000, 500501), ArchiveVerdict::WrongBuild);
        QCOMPARE(checkArchive(m_file, good, keys.path(), 500502, 500502), ArchiveVerdict::WrongBuild);
        QCOMPARE(checkArchive(m_file, signedAs("build:500502 build:500502"), keys.path(), 500502, 500501),
                 ArchiveVerdict::WrongBuild);

        QCOMPARE(signedBuild("timestamp:1\tbuild:42\thashed"), std::optional<qint64>(42));
        QCOMPARE(signedBuild("build:42x"), std::nullopt);
        QCOMPARE(signedBuild("build:-1"), std::nullopt);
        QCOMPARE(signedBuild("rebuild:42"), std::nullopt);
        QCOMPARE(signedBuild("build:99999999999999999999"), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestUpdateSignature)
#include "tst_updatesignature.moc"
