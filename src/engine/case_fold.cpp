#include "case_fold.h"

#include <algorithm>
#include <cctype>

std::string asciiCaseFold(const std::string &name)
{
    std::string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return folded;
}
