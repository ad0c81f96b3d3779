#include "core/export/TextExport.h"

#include "core/Addresses.h"
#include "core/TextCodec.h"

#include <QFileInfo>
#include <QSaveFile>

namespace zv::exporting {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The text box gives LF, a stored text may carry CR LF or a lone CR: every break becomes CR LF.
QString withCrLf(const QString &text)
{
    QString lines = text;
    lines.replace(kCrLf, QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines.replace(QLatin1Char('\n'), kCrLf);
}

QString countLine(qsizetype count)
{
    return QStringLiteral("Записей : ") + QString::number(count);
}

} // namespace

QString signatureLine()
{
    return QStringLiteral("Сохранено программой Zorvanell, каталогом пасхальных яиц: ") + addresses::kProjectSite;
}

QString entryFileText(const QString &name, const QString &text)
{
    return withCrLf(name) + kCrLf + withCrLf(text) + kCrLf + kCrLf + signatureLine() + kCrLf;
}

QString listFileText(const QStringList &names)
{
    const QString count = countLine(names.size());
    QString file = count + kCrLf + signatureLine() + kCrLf + kCrLf + kCrLf;
    for (const QString &name : names)
        file += withCrLf(name) + kCrLf;
    file += kCrLf + kCrLf + count + kCrLf + signatureLine() + kCrLf;
    return file;
}

QByteArray encode(const QString &text)
{
    const QByteArray cp1251 = toCp1251(text);
    if (fromCp1251(cp1251) == text)
        return cp1251;
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

QString proposedFileName(const QString &name)
{
    QString proposed = name;
    for (QChar &ch : proposed) {
        if (ch == QLatin1Char('/') || ch.unicode() < 0x20)
            ch = QLatin1Char('_');
    }
    return proposed;
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    const auto failed = [&]() -> QString {
        return QStringLiteral("Не удалось сохранить файл ") + path + QStringLiteral(" (") + file.errorString() +
               QStringLiteral(").");
    };
    if (QFileInfo(path).isDir())
        return QStringLiteral("Не удалось сохранить файл ") + path + QStringLiteral(": это папка.");
    if (!file.open(QIODevice::WriteOnly))
        return failed();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = failed();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return failed();
    return QString();
}

} // namespace zv::exporting
