#pragma once

// The UI layer (ui/): everything that links Qt Widgets. It sits on the core (listing/,
// folder_choice/, selection/, copy/, platform/ on Qt Core), which sits on the engine
// (engine/, the standard library and POSIX only); no folder includes from one above it.
//
// MainWindow is the program's one window. It holds the controls and wires them to the
// core, which holds the logic; it reaches the outside world only through
// PlatformServices (folder picker, message boxes, file system, clock, desktop notices).
//
// Data flows one way round it: a choose button asks the FolderPicker for a folder ->
// SourceListing checks it (checkChosenFolder) and keeps its status; listSourceFolder()
// shows it and has SourceListing list it into its SubFolderListModel, which the list views,
// and start a SubFolderLook, whose workers look inside each sub-folder and hand back its
// newest change and size; the model updates the line, or inserts it where only its inside
// makes it recent, and the progress line says how far the look is -> the list's selection
// model is the one record of what is selected; the counter and the copy button follow its
// signal, the model's rows and every mouse release over the list -> the copy button stops
// the look and hands the two folders, as paths, and the selected names (selectedNames) to
// the CopyRunController, which runs a CopyRun on a worker thread with the "Copying" dialog
// and tells the window the progress line's texts and when a run starts and ends.
//
// Controls keep the object names inspection tools and tests know them by:
//   cmdSource  m_chooseSourceButton    Text1  m_sourceField
//   Label4_0   m_listingHint           Label1 m_dayCountLabel    daysold m_dayCountField
//   Label4_2   m_selectionHint         cmdSelectNone / cmdSelectAll  m_selectNone/AllButton
//   Label8     m_modifiedHeading       txtFiles m_counterField
//   ListSourceFiles m_subFolderList    Label7 m_warningLabel
//   cmdDest    m_chooseDestinationButton  Text2 m_destinationField
//   Command2   m_copyButton            Label2 m_progressLabel

#include "folder_choice/folder_choice.h"
#include "listing/source_listing.h"
#include "ui/copy_run_controller.h"
#include "ui/platform_services.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(PlatformServices services, QWidget *parent = nullptr);

    // Shows `folder` in the source field and lists it, or says why it cannot be listed.
    void listSourceFolder(const QString &folder);
    // Stops a copy under way the way Cancel does, then closes the window.
    void stopAndClose();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void setTabOrderAndFocus();
    void connectControls();

    void chooseSourceFolder();
    void chooseDestinationFolder();
    void reportChoiceFailure(const std::exception &error);
    void dayCountEdited();
    void refreshCounter();

    void copySelected();
    void setRunning(bool running);

    PlatformServices m_services;
    SourceListing m_listing;
    ChosenFolder m_destination; // as the destination field shows it

    CopyRunController m_copyRuns;
    bool m_closeWhenStopped = false;

    QPushButton *m_chooseSourceButton = nullptr;
    QLineEdit *m_sourceField = nullptr;
    QLabel *m_listingHint = nullptr;
    QLabel *m_dayCountLabel = nullptr;
    QLineEdit *m_dayCountField = nullptr;
    QLabel *m_selectionHint = nullptr;
    QPushButton *m_selectNoneButton = nullptr;
    QPushButton *m_selectAllButton = nullptr;
    QLabel *m_modifiedHeading = nullptr;
    QLineEdit *m_counterField = nullptr;
    QListView *m_subFolderList = nullptr;
    QLabel *m_warningLabel = nullptr;
    QPushButton *m_chooseDestinationButton = nullptr;
    QLineEdit *m_destinationField = nullptr;
    QPushButton *m_copyButton = nullptr;
    QLabel *m_progressLabel = nullptr;
};
