#include "form1.h"

#include "main_window/window_look.h"
#include "platform/path_rules.h"

#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>

namespace {

const QString kTextA = QStringLiteral(
    "Only sub-folders that were created (or contain files that were modified) within the "
    "number of set days will be included in the list.");
const QString kTextB = QStringLiteral(
    "Use this program at your own risk. Existing, equivalent files in the destination will be "
    "overwritten. Available space and destination folders are not checked. Suggest, for now, "
    "to manually deselect any system or in-use folders if so listed.");

template<typename Control>
Control *place(QWidget *parent, const char *name, const QRect &geometry, const QFont &font)
{
    auto *control = new Control(parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(geometry);
    control->setFont(font);
    return control;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption,
                    const QRect &geometry, bool bold = false)
{
    auto *control = place<QPushButton>(parent, name, geometry, windowFont(bold));
    control->setText(caption);
    return control;
}

QLabel *label(QWidget *parent, const char *name, const QString &caption, const QRect &geometry,
              Qt::Alignment alignment, bool bold)
{
    auto *control = place<QLabel>(parent, name, geometry, windowFont(bold));
    control->setText(caption);
    control->setTextFormat(Qt::PlainText);
    control->setWordWrap(true);
    control->setAlignment(alignment | Qt::AlignTop);
    return control;
}

QLineEdit *field(QWidget *parent, const char *name, const QRect &geometry,
                 const QString &accessibleName)
{
    auto *control = place<QLineEdit>(parent, name, geometry, windowFont());
    control->setAccessibleName(accessibleName);
    return control;
}

} // namespace

Form1::Form1(PlatformServices services, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Sprigwell v1.0 beta"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/sprigwell.png")));
    setFixedSize(twipsRect(0, 0, 7980, 7995).size());
    setWindowBackground(this, kWindowPurple);

    createControls();
    setTabOrderAndFocus();
    connectHandlers();

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Form_Load();
}

void Form1::createControls()
{
    cmdSource
        = button(this, "cmdSource", tr("Choose Source Folder"), twipsRect(120, 120, 2175, 375));
    Text1 = field(this, "Text1", twipsRect(2400, 120, 5415, 375), tr("Source folder"));
    Text1->setReadOnly(true);

    Label4[0]
        = label(this, "Label4_0", kTextA, twipsRect(120, 840, 6615, 495), Qt::AlignHCenter, true);
    setColours(Label4[0], Qt::white);
    Label1 = label(this, "Label1", tr("Set days"), twipsRect(6840, 840, 975, 375), Qt::AlignHCenter,
                   true);
    setColours(Label1, palette().color(QPalette::WindowText), kPaleYellow);

    daysold = field(this, "daysold", twipsRect(6840, 1080, 975, 285), tr("Days to look back"));
    daysold->setText(QStringLiteral("60"));
    daysold->setAlignment(Qt::AlignCenter);
    // Typed keys are filtered in daysold_KeyPress; this also holds pasted and dropped
    // text to digits, so the listing never sees anything else.
    daysold->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), daysold));

    Label4[2] = label(this, "Label4_2", QStringLiteral(" Select/deselect sub-folders"),
                      twipsRect(120, 1440, 2655, 375), Qt::AlignHCenter, true);
    setColours(Label4[2], Qt::black, kPaleYellow);
    cmdSelectNone = button(this, "cmdSelectNone", tr("None"), twipsRect(2880, 1440, 735, 255));
    cmdSelectAll = button(this, "cmdSelectAll", tr("All"), twipsRect(3720, 1440, 735, 255));
    Label8 = label(this, "Label8", tr("Last Modified"), twipsRect(5280, 1440, 975, 375),
                   Qt::AlignLeft, false);
    setColours(Label8, palette().color(QPalette::HighlightedText), kWindowPurple);
    // A heading of one line; a narrower font than the original's would otherwise push
    // its second word under the list.
    Label8->setWordWrap(false);

    txtFiles = field(this, "txtFiles", twipsRect(6480, 1440, 1335, 255), tr("Selected folders"));
    txtFiles->setText(QStringLiteral("0/0 Folders"));
    txtFiles->setReadOnly(true);
    txtFiles->setFocusPolicy(Qt::NoFocus);
    txtFiles->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtFiles->setCursor(Qt::ArrowCursor);
    setColours(txtFiles, Qt::white, kWindowPurple);

    ListSourceFiles
        = place<QListWidget>(this, "ListSourceFiles", twipsRect(120, 1680, 7695, 3840), listFont());
    ListSourceFiles->setSelectionMode(QAbstractItemView::MultiSelection);
    ListSourceFiles->setSortingEnabled(false);
    ListSourceFiles->setUniformItemSizes(true);
    // The empty size column needs no room; the names and dates fit the width.
    ListSourceFiles->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListSourceFiles->setTextElideMode(Qt::ElideNone);
    ListSourceFiles->setAccessibleName(tr("Recently changed sub-folders"));

    Label7 = label(this, "Label7", kTextB, twipsRect(120, 5760, 7695, 735), Qt::AlignHCenter, true);
    setColours(Label7, Qt::white);

    cmdDest
        = button(this, "cmdDest", tr("Choose Destination Folder"), twipsRect(120, 6600, 2175, 375));
    Text2 = field(this, "Text2", twipsRect(2400, 6600, 5415, 375), tr("Destination folder"));
    Text2->setReadOnly(true);

    Command2
        = button(this, "Command2", tr("Copy the selected sub-folders into the destination folder"),
                 twipsRect(120, 7080, 7695, 495), true);
    Command2->setEnabled(false);

    Label2 = label(this, "Label2", QStringLiteral("RUDIMENTARY PROGRESS SHOWN HERE"),
                   twipsRect(120, 7680, 7695, 255), Qt::AlignLeft, false);
    setColours(Label2, kProgressYellow);

    // Labels lie beneath every other control where they overlap.
    for (QLabel *each : { Label4[0], Label1, Label4[2], Label8, Label7, Label2 })
        each->lower();
}

void Form1::setTabOrderAndFocus()
{
    const std::array<QWidget *, 9> order { Text1,           Command2,      cmdSource,
                                           ListSourceFiles, cmdSelectNone, cmdSelectAll,
                                           daysold,         cmdDest,       Text2 };
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    Text1->setFocus();
}

void Form1::connectHandlers()
{
    Text1->installEventFilter(this);
    daysold->installEventFilter(this);
    connect(cmdSource, &QPushButton::clicked, this, &Form1::cmdSource_Click);
    connect(cmdDest, &QPushButton::clicked, this, &Form1::cmdDest_Click);
    connect(daysold, &QLineEdit::textChanged, this, &Form1::daysold_Change);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(cmdSelectAll, &QPushButton::clicked, this, &Form1::cmdSelectAll_Click);
    connect(cmdSelectNone, &QPushButton::clicked, this, &Form1::cmdSelectNone_Click);
    connect(ListSourceFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &Form1::mirrorSelectionChange);
    ListSourceFiles->viewport()->installEventFilter(this);
}

void Form1::Form_Load()
{
    ListSourceFiles->clear();
    ListSourceFilesOnly.clear();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text1 && event->type() == QEvent::MouseButtonDblClick) {
        Text1_DblClick();
        return true;
    }
    if (watched == ListSourceFiles->viewport() && event->type() == QEvent::MouseButtonRelease) {
        ListSourceFiles_MouseUp();
        return false; // the list still needs the release itself
    }
    if (watched == daysold && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        int code = -1; // keys that type nothing (arrows, Home, Tab...) are not filtered
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            code = -1;
        else if (key->key() == Qt::Key_Backspace)
            code = 8;
        else if (key->key() == Qt::Key_Delete)
            code = 127;
        else if (!key->text().isEmpty())
            code = key->text().at(0).unicode();
        return code >= 0 && !daysold_KeyPress(code);
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::RefreshCounts()
{
    // One column, so the selected indexes are the selected entries.
    const auto count = ListSourceFiles->selectionModel()->selectedIndexes().size();
    txtSelected = QString::number(count);
    txtFiles->setText(txtSelected + QLatin1Char('/') + QString::number(ListSourceFilesOnly.count())
                      + QStringLiteral(" Folders"));
    enablecopy();
}

void Form1::enablecopy()
{
    Command2->setEnabled(false);
    const bool enable = txtSelected.toLongLong() > 0 && isPathFieldFilled(Text2->text())
        && isPathFieldFilled(Text1->text());
    Command2->setEnabled(enable);
}
