#pragma once

#include "common/OperationFeedback.h"

#include <memory>

namespace db {
class Recordset;
}

// The result grid, for the operations that change what it shows.
class GridBinding {
public:
    virtual ~GridBinding() = default;
    virtual void ClearGridPanel() = 0;
    // The grid shows this record set (null: nothing).
    virtual void bindGrid(std::shared_ptr<db::Recordset> rs) = 0;
    // The grid reads columns and rows again from the record set it shows.
    virtual void rebindGrid() = 0;
    virtual void PrepareGridColumns() = 0;
    // A result whose rows are still being read: the grid shows rs with the rows so far and
    // grows as more arrive, until endArrivingRows. Completed, rs stays bound as bindGrid
    // would bind it; otherwise the grid goes back to what it showed before.
    virtual void showArrivingRows(std::shared_ptr<db::Recordset>) {}
    virtual void moreRowsArrived() {}
    virtual void endArrivingRows(std::shared_ptr<db::Recordset> rs, bool completed) {
        if (completed) bindGrid(std::move(rs));
    }
};

// The statements of the query box also show their results: all three. The window implements
// it; tests implement recording fakes.
class WindowFeedback : public TransferFeedback, public GridBinding {};
