// The copy run: confirmation, the checks that keep a copy from landing anywhere but
// the chosen destination, and one folder copy per selected sub-folder.

#include "main_window/form1.h"

#include "copy/copy_plan.h"
#include "folder_choice/path_check.h"
#include "platform/message_box_service.h"
#include "platform/path_rules.h"
#include "platform/path_text.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace {

// The folder a field names, ready for a sub-folder name to be appended.
std::filesystem::path folderOf(QString fieldText)
{
    if (needsTrailingSeparator(fieldText))
        fieldText += pathSeparator();
    return textPath(fieldText);
}

} // namespace

void Form1::Command2_Click()
{
    const QString plural = txtSelected.toLongLong() > 1 ? QStringLiteral("s") : QString();
    showProgress(QStringLiteral("PREPARE TO COPY"));
    const QString prompt = QStringLiteral("Copy the ") + txtSelected
        + QStringLiteral(" selected folder") + plural + QStringLiteral("\r\n\r\ninto ")
        + Text2->text() + QStringLiteral(" now?");
    if (!m_services.messageBox.confirm(prompt, QStringLiteral("Confirm Copy")))
        return;

    const std::optional<CopyPlan> plan = checkedCopyPlan();
    if (plan)
        runCopyPlan(*plan);
}

// The copy that the window's state asks for, or nullopt after telling the user why it
// cannot run. Nothing has been written at that point.
std::optional<Form1::CopyPlan> Form1::checkedCopyPlan()
{
    // Each field must name a folder that is there now: a cancelled choice empties the
    // destination field without disabling the button.
    const std::pair<QLineEdit *, QString> fields[]
        = { { Text2, tr("destination") }, { Text1, tr("source") } };
    for (const auto &[field, role] : fields) {
        bool present = false;
        try {
            present = isPathFieldFilled(field->text())
                && PathExists(m_services.fileSystem, field->text());
        } catch (const std::exception &error) {
            m_services.messageBox.warn(tr("Nothing was copied: the %1 could not be checked:\n%2")
                                           .arg(role, QString::fromLocal8Bit(error.what())));
            return std::nullopt;
        }
        if (!present) {
            m_services.messageBox.warn(
                tr("Nothing was copied: the %1 \"%2\" is not an existing folder.\n"
                   "Choose the %1 folder again.")
                    .arg(role, field->text()));
            return std::nullopt;
        }
    }

    CopyPlan plan { folderOf(Text1->text()), folderOf(Text2->text()), {} };
    const int count = ListSourceFiles->count();
    for (int i = 0; i < count && i < ListSourceFilesOnly.count(); ++i) {
        if (ListSourceFilesOnly.isSelected(i))
            plan.names.push_back(ListSourceFilesOnly.name(i));
    }

    if (const auto inside = findSelfCopy(plan.sourceFolder, plan.names, plan.destinationFolder)) {
        m_services.messageBox.warn(
            tr("Nothing was copied: the sub-folder \"%1\" would be copied into itself.\n"
               "Choose a destination outside it.")
                .arg(pathText(*inside)));
        return std::nullopt;
    }
    return plan;
}

void Form1::runCopyPlan(const CopyPlan &plan)
{
    std::vector<std::filesystem::path> skipped;
    SilentCopyMonitor monitor;
    for (const std::filesystem::path &name : plan.names) {
        try {
            const CopyReport report = m_services.fileSystem.copyFolder(
                plan.sourceFolder / name, plan.destinationFolder / name, monitor);
            for (const CopyProblem &problem : report.problems)
                skipped.push_back(problem.path);
        } catch (const std::exception &error) {
            showProgress(QStringLiteral("FAILED COPYING ") + pathText(name));
            m_services.messageBox.warn(
                tr("Copying the sub-folder \"%1\" failed:\n%2\n\n"
                   "The sub-folders after it were not copied; what was copied before stays.")
                    .arg(pathText(name), describeCopyFailure(error)));
            return;
        }
        showProgress(QStringLiteral("Copying") + pathText(name));
    }
    showProgress(QStringLiteral("FINISHED COPYING"));

    if (!skipped.empty()) {
        QStringList names;
        for (const std::filesystem::path &path : skipped)
            names.append(pathText(path));
        m_services.messageBox.inform(
            tr("These special files (pipes, sockets or devices) were not copied:\n%1")
                .arg(names.join(QLatin1Char('\n'))));
    }
}

QString Form1::describeCopyFailure(const std::exception &error)
{
    if (const auto *failure = dynamic_cast<const FileSystemError *>(&error))
        return pathText(failure->path()) + QStringLiteral(": ")
            + QString::fromLocal8Bit(failure->reason());
    return QString::fromLocal8Bit(error.what());
}

void Form1::showProgress(const QString &text)
{
    Label2->setText(text);
    // The run holds the event loop, so paint now or the user sees nothing move.
    Label2->repaint();
}
