#pragma once

#include "engine/copy_report.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <filesystem>
#include <vector>

// The texts a copy run shows the user, in one place so the window only passes them on.

// The confirmation: "Copy the 2 selected folders", an empty line, "into <destination> now?".
QString copyPrompt(qsizetype selected, const QString &destinationField);

// Asked when the selected sub-folders hold more than the destination has free.
QString spaceQuestion(std::uint64_t bytesToWrite, std::uint64_t freeBytes);

// The progress line at the end of a run that got to its end.
QString finishedText(qsizetype problems);

// What the end-of-run message says about entries not copied, copies that do not read back as
// written (`notReadBack` of the `problems`) and metadata not kept; empty when there is nothing
// to say. The list itself goes to the details. `notes` come last.
QString problemSummary(qsizetype problems, const QStringList &notKept, std::uint64_t upToDate = 0,
                       const QStringList &notes = {}, qsizetype notReadBack = 0);

// "18,412 files were already up to date", with the user's thousands separator.
QString upToDateText(std::uint64_t files);

// One line per kind of metadata the destination could not hold.
QStringList notKeptTexts(const std::set<MetadataKind> &kinds);

// "<path>: <reason>", one per problem.
QStringList problemTexts(const std::vector<CopyProblem> &problems);

// While the data written is flushed to the drive, which cannot be interrupted.
QString flushingText();

// What reading the copies back says besides the copies that read back otherwise: how many
// read back as written, how many were not read when it was cancelled, and where it could
// not read from the drive itself.
QString checkedText(std::uint64_t copies);
QString checkCancelledText(std::uint64_t copies);
QString notFromDriveText(const QString &folder);

// The dialog's first line while the copies are read back.
QString checkingText();

// After Cancel: which sub-folders were copied and which were not.
QString cancelledMessage(const QStringList &copied, const QStringList &notCopied);

// After a failure that stopped the run.
QString failureMessage(const QString &subFolder, const QString &file, const QString &reason);

// A byte count in readable units ("48.2 MB").
QString sizeText(std::uint64_t bytes);
