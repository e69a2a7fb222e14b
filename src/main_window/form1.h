#pragma once

// Form1 is the program's one window. It holds the controls, the hidden state holders
// (txtGoGo, txtSelected, ListSourceFilesOnly) and the procedures that act on them; it
// reaches the outside world only through PlatformServices (folder picker, message
// boxes, file system, clock).
//
// Data flows one way round the window: a choose button asks the FolderPicker for a
// folder and classifies it (CheckFolderPath) -> FillEm shows it in Text1 and has the
// scan core (scanRecentSubFolders, FormatListLine) fill ListSourceFiles with display
// lines and ListSourceFilesOnly with the raw names -> the user's selection is mirrored
// from the display list to the mirror list -> the copy run hands each selected raw
// name to the copy engine. RefreshCounts recounts the selection after every change and
// enablecopy decides the copy button from it.

#include "main_window/mirror_list.h"
#include "main_window/platform_services.h"

#include <QWidget>

#include <array>
#include <exception>
#include <filesystem>
#include <optional>
#include <vector>

class QItemSelection;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(PlatformServices services, QWidget *parent = nullptr);

    // Listing
    void FillEm(const QString &strFolderName);
    void PopulateFilesList(QListWidget *cmbList, const QString &strFolder, MirrorList &cmbMirror);
    static QString NullToZero(const QString &anyValue);

    // Folder choice
    int CheckFolderPath(const QString &path, QString &holder);

    // Counter and copy button
    void RefreshCounts();
    void enablecopy();

    // Controls, named as the rest of the program refers to them.
    QPushButton *cmdSource = nullptr;
    QLineEdit *Text1 = nullptr;
    std::array<QLabel *, 3> Label4 {}; // members 0 and 2; there is no member 1
    QLabel *Label1 = nullptr;
    QLineEdit *daysold = nullptr;
    QPushButton *cmdSelectNone = nullptr;
    QPushButton *cmdSelectAll = nullptr;
    QLabel *Label8 = nullptr;
    QLineEdit *txtFiles = nullptr;
    QListWidget *ListSourceFiles = nullptr;
    QLabel *Label7 = nullptr;
    QPushButton *cmdDest = nullptr;
    QLineEdit *Text2 = nullptr;
    QPushButton *Command2 = nullptr;
    QLabel *Label2 = nullptr;

    // Hidden state holders.
    QString txtGoGo = QStringLiteral("2"); // status of the path in Text1, as decimal text
    QString txtDestStatus; // status of the path in Text2
    QString txtSelected = QStringLiteral("0"); // selected count, as decimal text
    MirrorList ListSourceFilesOnly;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void setTabOrderAndFocus();
    void connectHandlers();
    void Form_Load();

    void cmdSource_Click();
    void cmdDest_Click();
    void reportChoiceFailure(const std::exception &error);

    void cmdSelectAll_Click();
    void cmdSelectNone_Click();
    void setEverySelectedFlag(bool selected);
    void ListSourceFiles_MouseUp();
    void mirrorSelectionChange(const QItemSelection &selected, const QItemSelection &deselected);

    struct CopyPlan
    {
        std::filesystem::path sourceFolder;
        std::filesystem::path destinationFolder;
        std::vector<std::filesystem::path> names; // selected sub-folders, in list order
    };
    void Command2_Click();
    std::optional<CopyPlan> checkedCopyPlan();
    void runCopyPlan(const CopyPlan &plan);
    static QString describeCopyFailure(const std::exception &error);
    void showProgress(const QString &text);

    void Text1_DblClick();
    void daysold_Change();
    bool daysold_KeyPress(int keyAscii);

    QString FolderStatusText(const QString &statusHolder) const;

    PlatformServices m_services;
};
