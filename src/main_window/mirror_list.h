#pragma once

#include <filesystem>
#include <vector>

// The hidden twin of the display list: the bare name of each listed sub-folder, with a
// selected flag of its own, at the same position as its display line. Names stay raw
// path bytes, so the copy reaches exactly the folder that was listed.
class MirrorList
{
public:
    int count() const { return static_cast<int>(m_names.size()); }
    void clear()
    {
        m_names.clear();
        m_selected.clear();
    }
    void addItem(std::filesystem::path name)
    {
        m_names.push_back(std::move(name));
        m_selected.push_back(false);
    }
    void reserve(std::size_t size)
    {
        m_names.reserve(size);
        m_selected.reserve(size);
    }
    const std::filesystem::path &name(int index) const { return m_names.at(std::size_t(index)); }
    bool isSelected(int index) const { return m_selected.at(std::size_t(index)); }
    void setSelected(int index, bool selected) { m_selected.at(std::size_t(index)) = selected; }

private:
    std::vector<std::filesystem::path> m_names;
    std::vector<bool> m_selected;
};
