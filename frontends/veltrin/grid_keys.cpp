// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/grid_keys.h"

#include <algorithm>

namespace veltrin {

std::optional<CellPos> cellAfterKey(GridKey key, CellPos from, int lastRow, int pageRows) {
    if (lastRow < 1)
        return std::nullopt;
    const int lastColumn = kGridColumns - 1;
    const int page = std::max(1, pageRows);
    int row = std::clamp(from.row, 0, lastRow);
    int column = std::clamp(from.column, 0, lastColumn);
    if (row == 0)
        return CellPos{1, column};
    switch (key) {
        case GridKey::Up:
            return CellPos{std::max(1, row - 1), column};
        case GridKey::Down:
            return CellPos{std::min(lastRow, row + 1), column};
        case GridKey::Left:
            return CellPos{row, std::max(0, column - 1)};
        case GridKey::Right:
            return CellPos{row, std::min(lastColumn, column + 1)};
        case GridKey::PageUp:
            return CellPos{std::max(1, row - page), column};
        case GridKey::PageDown:
            return CellPos{std::min(lastRow, row + page), column};
        case GridKey::Home:
            return CellPos{row, 0};
        case GridKey::End:
            return CellPos{row, lastColumn};
        case GridKey::FirstCell:
            return CellPos{1, 0};
        case GridKey::LastCell:
            return CellPos{lastRow, lastColumn};
    }
    return std::nullopt;
}

bool isEditorMoveKey(GridKey key) {
    switch (key) {
        case GridKey::Up:
        case GridKey::Down:
        case GridKey::PageUp:
        case GridKey::PageDown:
        case GridKey::FirstCell:
        case GridKey::LastCell:
            return true;
        default:
            return false;
    }
}

}  // namespace veltrin
