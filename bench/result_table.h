#pragma once

#include <ostream>
#include <string>
#include <vector>

// A Markdown table whose columns line up in a terminal too.
class ResultTable
{
public:
    explicit ResultTable(std::vector<std::string> header);

    void addRow(std::vector<std::string> cells);
    void print(std::ostream &out) const;

private:
    std::vector<std::string> m_header;
    std::vector<std::vector<std::string>> m_rows;
};

// "12.3" style numbers for the table.
std::string fixed(double value, int decimals);
