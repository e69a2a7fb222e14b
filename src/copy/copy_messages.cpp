#include "copy_messages.h"

#include "platform/path_text.h"

#include <QCoreApplication>
#include <QLocale>

#include <map>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CopyRun", text);
}

QString nameList(const QStringList &names)
{
    return names.isEmpty() ? tr("(none)") : names.join(QStringLiteral(", "));
}

} // namespace

QString copyPrompt(qsizetype selected, const QString &destinationField)
{
    const QString plural = selected > 1 ? QStringLiteral("s") : QString();
    return QStringLiteral("Copy the ") + QString::number(selected)
        + QStringLiteral(" selected folder") + plural + QStringLiteral("\r\n\r\ninto ")
        + destinationField + QStringLiteral(" now?");
}

QString spaceQuestion(std::uint64_t bytesToWrite, std::uint64_t freeBytes)
{
    return tr("The selected sub-folders hold %1; the destination has %2 free. Copy anyway?")
        .arg(sizeText(bytesToWrite), sizeText(freeBytes));
}

QString finishedText(qsizetype problems)
{
    if (problems == 0)
        return QStringLiteral("FINISHED COPYING");
    return QStringLiteral("FINISHED COPYING WITH %1 %2")
        .arg(problems)
        .arg(problems == 1 ? QStringLiteral("PROBLEM") : QStringLiteral("PROBLEMS"));
}

QString upToDateText(std::uint64_t files)
{
    QLocale locale = QLocale::system();
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return files == 1 ? tr("1 file was already up to date")
                      : tr("%1 files were already up to date").arg(locale.toString(quint64(files)));
}

QString problemSummary(qsizetype problems, const QStringList &notKept, std::uint64_t upToDate,
                       const QStringList &notes, qsizetype notReadBack)
{
    QStringList parts;
    if (upToDate > 0)
        parts.append(upToDateText(upToDate) + QLatin1Char('.'));
    const qsizetype notCopied = problems - notReadBack;
    if (notCopied == 1)
        parts.append(tr("1 entry was not copied; the details name it and say why."));
    else if (notCopied > 1)
        parts.append(
            tr("%1 entries were not copied; the details name each and say why.").arg(notCopied));
    // Those were copied: it is the copy on the drive that is not what was written.
    if (notReadBack == 1)
        parts.append(tr("1 copy does not read back as it was written; the details name it and "
                        "say why."));
    else if (notReadBack > 1)
        parts.append(tr("%1 copies do not read back as they were written; the details name each "
                        "and say why.")
                         .arg(notReadBack));
    if (!notKept.isEmpty())
        parts.append(tr("The destination could not keep:\n") + notKept.join(QLatin1Char('\n')));
    parts += notes;
    return parts.join(QStringLiteral("\n\n"));
}

QStringList notKeptTexts(const std::set<MetadataKind> &kinds)
{
    static const std::map<MetadataKind, const char *> texts {
        { MetadataKind::Permissions, QT_TR_NOOP("- permissions (read, write and run rights)") },
        { MetadataKind::SetIdBits, QT_TR_NOOP("- set-user-ID and set-group-ID bits") },
        { MetadataKind::Owner, QT_TR_NOOP("- owners and groups") },
        { MetadataKind::Times, QT_TR_NOOP("- exact modification times") },
        { MetadataKind::ExtendedAttributes, QT_TR_NOOP("- extended attributes") },
        { MetadataKind::AccessControlLists, QT_TR_NOOP("- access control lists") },
        { MetadataKind::HardLinks, QT_TR_NOOP("- hard links (the files were copied separately)") },
    };
    QStringList result;
    for (const MetadataKind kind : kinds)
        result.append(tr(texts.at(kind)));
    return result;
}

QStringList problemTexts(const std::vector<CopyProblem> &problems)
{
    QStringList texts;
    texts.reserve(qsizetype(problems.size()));
    for (const CopyProblem &problem : problems)
        texts.append(pathText(problem.path) + QStringLiteral(": ")
                     + QString::fromLocal8Bit(problem.reason));
    return texts;
}

QString flushingText()
{
    return tr("The data is being written to the drive. This cannot be cancelled.");
}

QString checkedText(std::uint64_t copies)
{
    return copies == 1
        ? tr("1 copy was read back from the drive as it was written.")
        : tr("%1 copies were read back from the drive as they were written.").arg(copies);
}

QString checkCancelledText(std::uint64_t copies)
{
    return tr("The check was cancelled: %1 of the copies were not read back.").arg(copies);
}

QString notFromDriveText(const QString &folder)
{
    return tr("The copies in \"%1\" were read back through a driver that may answer from "
              "memory (FUSE or a network share): there the check could not read from the "
              "drive itself.")
        .arg(folder);
}

QString checkingText()
{
    return tr("Checking the copies");
}

QString cancelledMessage(const QStringList &copied, const QStringList &notCopied)
{
    return tr("The copy was cancelled. The file being written was discarded.\n\n"
              "Copied: %1\nNot copied: %2")
        .arg(nameList(copied), nameList(notCopied));
}

QString failureMessage(const QString &subFolder, const QString &file, const QString &reason)
{
    return tr("Copying the sub-folder \"%1\" failed:\n%2: %3\n\n"
              "The sub-folders after it were not copied; what was copied before stays.")
        .arg(subFolder, file, reason);
}

QString sizeText(std::uint64_t bytes)
{
    // Qt counts sizes in signed 64 bits: beyond them, the largest it can say, and more.
    return QLocale::c().formattedDataSize(qint64(std::min<std::uint64_t>(bytes, INT64_MAX)), 1,
                                          QLocale::DataSizeSIFormat)
        + (bytes > INT64_MAX ? QStringLiteral("+") : QString());
}
