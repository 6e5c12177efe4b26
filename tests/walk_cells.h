#pragma once
// The cells of a balloon walk as the tests compare them: the serpentine's order on the
// 10-degree grid, and cells equal bit for bit or untouched.

#include <cstring>
#include <utility>
#include <vector>

#include "balloon/balloon_matrix.h"

namespace vantrel::testing {

// The first n points of the 10-degree serpentine as (row, column).
inline std::vector<std::pair<int, int>> firstPoints(int n)
{
    std::vector<std::pair<int, int>> out;
    for (int row = 0; row < 18 && static_cast<int>(out.size()) < n; ++row)
        for (int i = 0; i <= 36 && static_cast<int>(out.size()) < n; ++i)
            out.emplace_back(row, row % 2 == 0 ? i : 36 - i);
    return out;
}

inline bool sameCell(const BalloonMatrix& a, const BalloonMatrix& b, int row, int column)
{
    return std::memcmp(a.cell(row, column).data(), b.cell(row, column).data(), a.cell(row, column).size_bytes()) == 0;
}

inline bool cellIsZero(const BalloonMatrix& m, int row, int column)
{
    for (const ComplexBin& bin : m.cell(row, column))
        if (bin.re != 0.0f || bin.im != 0.0f)
            return false;
    return true;
}

} // namespace vantrel::testing
