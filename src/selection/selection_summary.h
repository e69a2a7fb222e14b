#pragma once

#include <QString>
#include <QStringView>

#include <filesystem>
#include <vector>

class QItemSelectionModel;

// Selection (selection/, core layer on Qt Core): what the selection model's rows mean for
// the counter, the copy button and the copy.

// The counter beside the list: "<selected>/<listed> Folders".
QString selectionCounterText(qsizetype selected, qsizetype listed);

// The copy button's rule: something selected, and both path fields filled in.
bool copyAllowed(qsizetype selected, QStringView sourceField, QStringView destinationField);

// The raw names of the selected rows, in list order. Reads the model's name role, so
// the copy takes exactly the rows the counter counts.
std::vector<std::filesystem::path> selectedNames(const QItemSelectionModel &selection);
