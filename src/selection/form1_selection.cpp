// Keeping the hidden list of names selected exactly like the display list.

#include "main_window/form1.h"

#include <QItemSelectionModel>
#include <QListWidget>

void Form1::cmdSelectAll_Click()
{
    setEverySelectedFlag(true);
}

void Form1::cmdSelectNone_Click()
{
    setEverySelectedFlag(false);
}

void Form1::setEverySelectedFlag(bool selected)
{
    for (int i = 0; i < ListSourceFilesOnly.count(); ++i)
        ListSourceFilesOnly.setSelected(i, selected);
    if (selected)
        ListSourceFiles->selectAll();
    else
        ListSourceFiles->clearSelection();
    RefreshCounts();
}

void Form1::ListSourceFiles_MouseUp()
{
    if (ListSourceFiles->count() == 0)
        return;
    // Until an entry has been clicked or focused there is no current one to carry over.
    const int current = ListSourceFiles->currentRow();
    if (current >= 0 && current < ListSourceFilesOnly.count())
        ListSourceFilesOnly.setSelected(current, ListSourceFiles->item(current)->isSelected());
    RefreshCounts();
}

// Every change of the display list's selection, by mouse, keyboard or program, reaches
// the mirror list and the counter, so the copy takes exactly what the counter shows.
void Form1::mirrorSelectionChange(const QItemSelection &selected, const QItemSelection &deselected)
{
    const auto mirror = [this](const QItemSelection &ranges, bool flag) {
        for (const QItemSelectionRange &range : ranges) {
            const int last = std::min(range.bottom(), ListSourceFilesOnly.count() - 1);
            for (int row = range.top(); row <= last; ++row)
                ListSourceFilesOnly.setSelected(row, flag);
        }
    };
    mirror(deselected, false);
    mirror(selected, true);
    RefreshCounts();
}
