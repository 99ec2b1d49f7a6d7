#include "hosts/device/timeline_layout.h"

#include "hosts/device/chart_text.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace device {
namespace {

    // What the named rows hold so far: where each row's labels end, and the last leader.
    struct Rows {
        std::vector<double> ends = std::vector<double>(kNamedRows, -1e9);
        double lastLeader = -1e9;
    };

    // The row for a label whose leader is at leaderX: the first one free there from which the
    // leader passes no label of a row below, else the first one free there (the leader then
    // passes behind the labels below); -1 when there is none.
    int rowFor(const Rows& rows, double leaderX)
    {
        int row = kNamedRows;
        while (row > 0 && rows.ends[static_cast<std::size_t>(row - 1)] <= leaderX)
            --row;
        if (row < kNamedRows)
            return row;
        auto free = std::find_if(rows.ends.begin(), rows.ends.end(), [&](double end) { return end <= leaderX; });
        return free == rows.ends.end() ? -1 : static_cast<int>(free - rows.ends.begin());
    }

    // Each sum's label at the start of its bar, moved right past the one before and, at the
    // right end, back left so that every one stays in the picture.
    void placeSums(std::vector<CloseLayout::Sum>& sums, double left, double right)
    {
        double after = left + 4;
        for (auto& sum : sums) {
            sum.x = std::max(sum.from, after);
            after = sum.x + sum.width + kLabelGap;
        }
        double before = right - 4;
        for (auto sum = sums.rbegin(); sum != sums.rend(); ++sum) {
            sum->x = std::min(sum->x, before - sum->width);
            before = sum->x - kLabelGap;
        }
    }

} // namespace

CloseLayout layOutCloses(const std::vector<Timeline::Close>& closes, const std::function<double(double)>& x,
                         double left, double right, double stretchSeconds,
                         const std::function<double(const std::string&)>& widthOf)
{
    std::vector<std::size_t> order(closes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](auto a, auto b) { return closes[a].time < closes[b].time; });
    auto stretchOf = [&](std::size_t i) { return static_cast<long>(std::floor(closes[order[i]].time / stretchSeconds)); };

    CloseLayout layout;
    Rows rows;
    for (std::size_t first = 0; first < order.size();) {
        std::size_t last = first;
        while (last < order.size() && stretchOf(last) == stretchOf(first))
            ++last;

        // Every close of the stretch named, or none.
        Rows tried = rows;
        std::vector<CloseLayout::Named> named;
        for (std::size_t i = first; i < last; ++i) {
            const auto& close = closes[order[i]];
            // Closes at one moment stand side by side, each with a leader of its own.
            double leaderX = std::max(x(close.time), tried.lastLeader + kLeaderGap);
            double end = leaderX + 4 + widthOf(close.label);
            int row = rowFor(tried, leaderX);
            if (row < 0 || end > right - 4)
                break;
            tried.ends[static_cast<std::size_t>(row)] = end + kLabelGap;
            tried.lastLeader = leaderX;
            named.push_back({ order[i], leaderX, row });
        }
        if (named.size() == last - first) {
            rows = tried;
            for (const auto& n : named)
                layout.namedRows = std::max(layout.namedRows, n.row + 1);
            layout.named.insert(layout.named.end(), named.begin(), named.end());
        } else {
            CloseLayout::Sum sum;
            for (std::size_t i = first; i < last; ++i)
                sum.closes.push_back(order[i]);
            sum.from = x(closes[order[first]].time);
            sum.to = std::max(x(closes[order[last - 1]].time), sum.from + 2);
            sum.text = counted(sum.closes.size(), "close", "closes");
            sum.width = widthOf(sum.text);
            layout.sums.push_back(std::move(sum));
        }
        first = last;
    }
    placeSums(layout.sums, left, right);
    return layout;
}

} // namespace device
