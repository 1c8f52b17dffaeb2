#include "analysis/envelope.h"

namespace analysis {

namespace {

    PlanePoint envelopePoint(const CycleRow& row, Side side, EnvelopeKind kind)
    {
        if (kind == EnvelopeKind::Load)
            return side == Side::Positive ? PlanePoint { row.uFMax, row.fMax }
                                          : PlanePoint { row.uFMin, row.fMin };
        return side == Side::Positive ? PlanePoint { row.uPos, row.fUPos }
                                      : PlanePoint { row.uNeg, row.fUNeg };
    }

}  // namespace

std::vector<EnvelopeRow> envelopeRows(const std::vector<CycleRow>& cycles, EnvelopeKind kind)
{
    std::vector<EnvelopeRow> rows;
    for (const Side side : { Side::Positive, Side::Negative }) {
        const std::size_t sideStart = rows.size();
        for (const CycleRow& cycle : cycles) {
            const PlanePoint point = envelopePoint(cycle, side, kind);
            if (cycle.cycleInLevel == 1 || rows.size() == sideStart)
                rows.push_back({ side, cycle.level, 0, point.x, point.y, 0.0, 0.0 });
            EnvelopeRow& row = rows.back();
            ++row.cycles;
            row.uLast = point.x;
            row.fLast = point.y;
        }
    }
    return rows;
}

}  // namespace analysis
