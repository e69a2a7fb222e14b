#include "main_window.h"

#include "copy/copy_messages.h"
#include "folder_choice/folder_choice.h"
#include "folder_choice/path_rules.h"
#include "listing/day_count.h"
#include "listing/list_line.h"
#include "listing/source_listing.h"
#include "selection/selection_summary.h"
#include "ui/day_count_keys.h"
#include "ui/folder_picker.h"
#include "ui/message_box_service.h"
#include "ui/window_style.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>

#include <array>

namespace {

const QString kListingHint = QStringLiteral(
    "Only sub-folders that were created (or contain files that were modified) within the "
    "number of set days will be included in the list.");
// The folder a double-click on the source field lists: "test" at the file-system root.
const QString kTestFolder = QStringLiteral("/test/");
const QString kWarning = QStringLiteral(
    "Use this program at your own risk. Files of the same name in the destination are replaced; "
    "those already up to date are left as they are. The copy asks if space looks short. "
    "Suggest, for now, to manually deselect any system or in-use folders if so listed.");

} // namespace

MainWindow::MainWindow(PlatformServices services, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
    , m_listing(services.fileSystem, services.clock)
    , m_copyRuns(services.fileSystem, services.messageBox, services.notifier, this)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Sprigwell v1.0 beta"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/sprigwell.png")));
    setFixedSize(twipsRect(0, 0, 7980, 7995).size());
    setWindowBackground(this, kWindowPurple);

    createControls();
    setTabOrderAndFocus();
    connectControls();

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void MainWindow::createControls()
{
    m_chooseSourceButton
        = makeButton(this, "cmdSource", tr("Choose Source Folder"), twipsRect(120, 120, 2175, 375));
    m_sourceField = makeField(this, "Text1", twipsRect(2400, 120, 5415, 375), tr("Source folder"));
    m_sourceField->setReadOnly(true);

    m_listingHint = makeLabel(this, "Label4_0", kListingHint, twipsRect(120, 840, 6615, 495),
                              Qt::AlignHCenter, true);
    setColours(m_listingHint, Qt::white);
    m_dayCountLabel = makeLabel(this, "Label1", tr("Set days"), twipsRect(6840, 840, 975, 375),
                                Qt::AlignHCenter, true);
    setColours(m_dayCountLabel, palette().color(QPalette::WindowText), kPaleYellow);

    m_dayCountField
        = makeField(this, "daysold", twipsRect(6840, 1080, 975, 285), tr("Days to look back"));
    m_dayCountField->setText(QStringLiteral("60"));
    m_dayCountField->setAlignment(Qt::AlignCenter);
    new DayCountKeys(m_dayCountField);

    m_selectionHint = makeLabel(this, "Label4_2", QStringLiteral(" Select/deselect sub-folders"),
                                twipsRect(120, 1440, 2655, 375), Qt::AlignHCenter, true);
    setColours(m_selectionHint, Qt::black, kPaleYellow);
    m_selectNoneButton
        = makeButton(this, "cmdSelectNone", tr("None"), twipsRect(2880, 1440, 735, 255));
    m_selectAllButton
        = makeButton(this, "cmdSelectAll", tr("All"), twipsRect(3720, 1440, 735, 255));
    m_modifiedHeading = makeLabel(this, "Label8", tr("Last Modified"),
                                  twipsRect(5280, 1440, 975, 375), Qt::AlignLeft, false);
    setColours(m_modifiedHeading, palette().color(QPalette::HighlightedText), kWindowPurple);
    // A heading of one line; a narrower font than the original's would otherwise push
    // its second word under the list.
    m_modifiedHeading->setWordWrap(false);

    m_counterField = makeCounterField(this, "txtFiles", twipsRect(6480, 1440, 1335, 255),
                                      tr("Selected folders"));
    m_counterField->setText(selectionCounterText(0, 0));
    setColours(m_counterField, Qt::white, kWindowPurple);

    m_subFolderList
        = makeLineList(this, "ListSourceFiles", twipsRect(120, 1680, 7695, 3840), kListLineWidth);
    m_subFolderList->setModel(&m_listing.model());
    m_subFolderList->setAccessibleName(tr("Recently changed sub-folders"));

    m_warningLabel = makeLabel(this, "Label7", kWarning, twipsRect(120, 5760, 7695, 735),
                               Qt::AlignHCenter, true);
    setColours(m_warningLabel, Qt::white);

    m_chooseDestinationButton = makeButton(this, "cmdDest", tr("Choose Destination Folder"),
                                           twipsRect(120, 6600, 2175, 375));
    m_destinationField
        = makeField(this, "Text2", twipsRect(2400, 6600, 5415, 375), tr("Destination folder"));
    m_destinationField->setReadOnly(true);

    m_copyButton = makeButton(this, "Command2",
                              tr("Copy the selected sub-folders into the destination folder"),
                              twipsRect(120, 7080, 7695, 495), true);
    m_copyButton->setEnabled(false);

    m_progressLabel = makeLabel(this, "Label2", QStringLiteral("RUDIMENTARY PROGRESS SHOWN HERE"),
                                twipsRect(120, 7680, 7695, 255), Qt::AlignLeft, false);
    setColours(m_progressLabel, kProgressYellow);

    // Labels lie beneath every other control where they overlap.
    for (QLabel *each : { m_listingHint, m_dayCountLabel, m_selectionHint, m_modifiedHeading,
                          m_warningLabel, m_progressLabel })
        each->lower();
}

void MainWindow::setTabOrderAndFocus()
{
    const std::array<QWidget *, 9> order { m_sourceField,        m_copyButton,
                                           m_chooseSourceButton, m_subFolderList,
                                           m_selectNoneButton,   m_selectAllButton,
                                           m_dayCountField,      m_chooseDestinationButton,
                                           m_destinationField };
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    m_sourceField->setFocus();
}

void MainWindow::connectControls()
{
    m_sourceField->installEventFilter(this);
    m_subFolderList->installEventFilter(this);
    m_subFolderList->viewport()->installEventFilter(this);
    connect(m_chooseSourceButton, &QPushButton::clicked, this, &MainWindow::chooseSourceFolder);
    connect(m_chooseDestinationButton, &QPushButton::clicked, this,
            &MainWindow::chooseDestinationFolder);
    connect(m_dayCountField, &QLineEdit::textChanged, this, &MainWindow::dayCountEdited);
    connect(m_selectAllButton, &QPushButton::clicked, m_subFolderList, &QListView::selectAll);
    connect(m_selectNoneButton, &QPushButton::clicked, m_subFolderList, &QListView::clearSelection);
    // A press that changes no row still re-decides the copy button: a path field may
    // have changed since.
    for (QPushButton *button : { m_selectAllButton, m_selectNoneButton })
        connect(button, &QPushButton::clicked, this, &MainWindow::refreshCounter);
    connect(m_subFolderList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::refreshCounter);
    connect(m_copyButton, &QPushButton::clicked, this, &MainWindow::copySelected);
    connect(&m_copyRuns, &CopyRunController::progressLineChanged, m_progressLabel,
            &QLabel::setText);
    connect(&m_copyRuns, &CopyRunController::runningChanged, this, &MainWindow::setRunning);
    // Once a batch, not once a line: the lines a look adds change the count.
    connect(&m_listing, &SourceListing::lookProgressed, this, [this](const QString &line) {
        m_progressLabel->setText(line);
        refreshCounter();
    });
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_sourceField && event->type() == QEvent::MouseButtonDblClick) {
        if (!m_copyRuns.isRunning())
            listSourceFolder(kTestFolder);
        return true;
    }
    // Every release of a mouse button over the list re-decides the counter and the copy
    // button, whatever the button and wherever it is released: a path field may have
    // changed since the last refresh. The list's own handling follows.
    if ((watched == m_subFolderList || watched == m_subFolderList->viewport())
        && event->type() == QEvent::MouseButtonRelease && m_listing.model().rowCount() > 0)
        refreshCounter();
    return QWidget::eventFilter(watched, event);
}

void MainWindow::listSourceFolder(const QString &folder)
{
    m_sourceField->setText(folder);
    const ListingNotice notice = m_listing.list(folder, m_dayCountField->text());
    if (notice.kind == ListingNotice::Kind::Status)
        m_services.messageBox.inform(notice.text);
    else if (notice.kind == ListingNotice::Kind::Unreadable)
        m_services.messageBox.warn(notice.text);
    refreshCounter();
}

void MainWindow::chooseSourceFolder()
{
    try {
        const QString folder
            = m_listing.choose(m_services.folderPicker.browseForFolder(tr("Choose Source Folder")));
        if (folder.isEmpty())
            refreshCounter();
        else
            listSourceFolder(folder);
    } catch (const std::exception &error) {
        reportChoiceFailure(error);
    }
}

void MainWindow::chooseDestinationFolder()
{
    try {
        m_destination = checkChosenFolder(
            m_services.fileSystem,
            m_services.folderPicker.browseForFolder(tr("Choose Destination Folder")));
        // Shown whatever it is; the copy run checks it again before it copies.
        m_destinationField->setText(m_destination.path);
    } catch (const std::exception &error) {
        reportChoiceFailure(error);
    }
}

void MainWindow::dayCountEdited()
{
    // Quietly, so the listing below runs once with the capped count.
    if (const auto capped = cappedDayCount(m_dayCountField->text())) {
        const QSignalBlocker blocker(m_dayCountField);
        m_dayCountField->setText(*capped);
    }
    if (isPathFieldFilled(m_sourceField->text()))
        listSourceFolder(m_sourceField->text());
}

void MainWindow::refreshCounter()
{
    const qsizetype selected = m_subFolderList->selectionModel()->selectedRows().size();
    m_counterField->setText(selectionCounterText(selected, m_listing.model().rowCount()));
    m_copyButton->setEnabled(
        copyAllowed(selected, m_sourceField->text(), m_destinationField->text()));
}

void MainWindow::reportChoiceFailure(const std::exception &error)
{
    m_services.messageBox.warn(
        tr("The folder could not be chosen:\n%1").arg(QString::fromLocal8Bit(error.what())));
}

// The progress line is the copy's from here on; the lines keep what the look found.
void MainWindow::copySelected()
{
    m_listing.stopLook();
    CopyRequest request { fieldFolderPath(m_sourceField->text()),
                          fieldFolderPath(m_destinationField->text()),
                          selectedNames(*m_subFolderList->selectionModel()) };
    request.destinationPlace = m_destination.place;
    m_copyRuns.start(std::move(request), m_destinationField->text());
}

// While a run goes on, nothing that changes what is copied or where can be used.
void MainWindow::setRunning(bool running)
{
    for (QWidget *control : std::initializer_list<QWidget *> {
             m_chooseSourceButton, m_dayCountField, m_subFolderList, m_selectNoneButton,
             m_selectAllButton, m_chooseDestinationButton, m_copyButton })
        control->setEnabled(!running);
    if (!running && m_closeWhenStopped)
        close();
}

void MainWindow::stopAndClose()
{
    m_closeWhenStopped = true;
    if (m_copyRuns.isRunning())
        m_copyRuns.stopQuietly();
    else
        close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_copyRuns.isRunning()) {
        event->accept();
        return;
    }
    event->ignore();
    // The final flush cannot be stopped: the window closes when it ends.
    const QString question = m_copyRuns.isFlushing()
        ? flushingText() + tr("\nClose the window when it is done?")
        : tr("A copy is under way. Stop it and close?");
    if (m_closeWhenStopped || m_services.messageBox.ask(question, tr("Stop Copying"))) {
        // The run ends on its own thread; the window closes when it reports.
        m_closeWhenStopped = true;
        m_copyRuns.stopQuietly();
    }
}
