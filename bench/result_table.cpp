#include "result_table.h"

#include <algorithm>
#include <iomanip>
#include <sstream>
#include <stdexcept>

ResultTable::ResultTable(std::vector<std::string> header)
    : m_header(std::move(header))
{ }

void ResultTable::addRow(std::vector<std::string> cells)
{
    if (cells.size() != m_header.size())
        throw std::invalid_argument("table row with the wrong number of cells");
    m_rows.push_back(std::move(cells));
}

void ResultTable::print(std::ostream &out) const
{
    std::vector<std::size_t> widths;
    for (const std::string &title : m_header)
        widths.push_back(std::max<std::size_t>(3, title.size()));
    for (const auto &row : m_rows) {
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    const auto printRow = [&](const std::vector<std::string> &cells) {
        out << '|';
        for (std::size_t i = 0; i < cells.size(); ++i)
            out << ' ' << std::left << std::setw(int(widths[i])) << cells[i] << " |";
        out << '\n';
    };
    printRow(m_header);
    out << '|';
    for (std::size_t width : widths)
        out << ' ' << std::string(width, '-') << " |";
    out << '\n';
    for (const auto &row : m_rows)
        printRow(row);
}

std::string fixed(double value, int decimals)
{
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}
