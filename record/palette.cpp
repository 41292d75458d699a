#include "record/palette.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

using Channels = std::array<std::int32_t, 3>;

Channels channels(std::uint32_t colour) {
    return {std::int32_t(colour >> 16), std::int32_t(colour >> 8 & 0xFF),
            std::int32_t(colour & 0xFF)};
}

std::uint32_t keyOf(const Quantizer::Item& item) {
    return std::uint32_t(item.c[0]) << 16 | std::uint32_t(item.c[1]) << 8 |
           std::uint32_t(item.c[2]);
}

// Weighted sums of a set of colours; exact in 64 bits.
struct Sums {
    std::uint64_t weight = 0;
    std::uint64_t sum[3] = {0, 0, 0};
    std::uint64_t squares[3] = {0, 0, 0};

    void add(const Quantizer::Item& item) {
        weight += item.weight;
        for (int a = 0; a < 3; ++a) {
            sum[a] += std::uint64_t(item.weight) * std::uint64_t(item.c[a]);
            squares[a] += std::uint64_t(item.weight) * std::uint64_t(item.c[a] * item.c[a]);
        }
    }
    // Weighted squared error about the mean along one axis. Doubles of exact integer sums go
    // through the same correctly rounded operations with every compiler.
    double error(int a) const {
        return double(squares[a]) - double(sum[a]) * double(sum[a]) / double(weight);
    }
    std::uint32_t mean() const {
        std::uint32_t m = 0;
        for (int a = 0; a < 3; ++a) {
            m = m << 8 | std::uint32_t((2 * sum[a] + weight) / (2 * weight));
        }
        return m;
    }
};

// A run of items, sharing one palette entry: their mean.
struct Box {
    std::size_t begin, end;
    Sums sums;
    std::uint32_t colour = 0;
    std::uint32_t largest = 0;  // the largest difference of a member from colour
    std::uint64_t total = 0;    // the difference sums of the pixels from colour
};

Box makeBox(const std::vector<Quantizer::Item>& items, std::size_t begin, std::size_t end) {
    Box box{begin, end, {}};
    for (std::size_t i = begin; i < end; ++i) {
        box.sums.add(items[i]);
    }
    box.colour = box.sums.mean();
    const Channels m = channels(box.colour);
    for (std::size_t i = begin; i < end; ++i) {
        std::uint32_t sum = 0;
        for (int a = 0; a < 3; ++a) {
            const auto d = std::uint32_t(std::abs(items[i].c[a] - m[a]));
            box.largest = std::max(box.largest, d);
            sum += d;
        }
        box.total += std::uint64_t(items[i].weight) * sum;
    }
    return box;
}

// The entry for a colour as Quantizer::indexOf promises, found by a walk outwards from the
// colour along the palette's widest channel.
class EntrySearch {
  public:
    EntrySearch(const std::vector<std::uint32_t>& palette, std::uint32_t largest)
        : largest_(std::int32_t(largest)) {
        std::int32_t low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
        for (std::size_t i = 0; i < palette.size(); ++i) {
            const Channels c = channels(palette[i]);
            entries_.push_back({c, std::uint32_t(i)});
            for (int a = 0; a < 3; ++a) {
                low[a] = std::min(low[a], c[a]);
                high[a] = std::max(high[a], c[a]);
            }
        }
        for (int a = 1; a < 3; ++a) {
            if (high[a] - low[a] > high[axis_] - low[axis_]) {
                axis_ = a;
            }
        }
        std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
            return a.c[axis_] != b.c[axis_] ? a.c[axis_] < b.c[axis_] : a.index < b.index;
        });
    }

    std::uint32_t find(const std::int32_t* c) const {
        const auto start = std::size_t(
            std::partition_point(entries_.begin(), entries_.end(),
                                 [&](const Entry& e) { return e.c[axis_] < c[axis_]; }) -
            entries_.begin());
        bool beyond = true;  // the best so far exceeds the largest difference
        std::int32_t best = 1 << 30;
        std::uint32_t bestIndex = 0;
        auto consider = [&](const Entry& e) {
            std::int32_t sum = 0, most = 0;
            for (int a = 0; a < 3; ++a) {
                const std::int32_t d = std::abs(e.c[a] - c[a]);
                sum += d;
                most = std::max(most, d);
            }
            const bool over = most > largest_;
            if (over != beyond ? !over : sum < best || (sum == best && e.index < bestIndex)) {
                beyond = over;
                best = sum;
                bestIndex = e.index;
            }
        };
        // An entry this far along the axis is at least as far in both measures; equal ones are
        // still seen, so that the lowest index wins whatever the walk.
        auto reachable = [&](std::int32_t step) {
            return step <= (beyond ? std::max(best, largest_) : best);
        };
        for (std::size_t i = start; i < entries_.size(); ++i) {
            if (!reachable(entries_[i].c[axis_] - c[axis_])) {
                break;
            }
            consider(entries_[i]);
        }
        for (std::size_t i = start; i-- > 0;) {
            if (!reachable(c[axis_] - entries_[i].c[axis_])) {
                break;
            }
            consider(entries_[i]);
        }
        return bestIndex;
    }

  private:
    struct Entry {
        Channels c;
        std::uint32_t index;
    };
    std::int32_t largest_;
    int axis_ = 0;
    std::vector<Entry> entries_;
};

}  // namespace

std::uint32_t largestDifference(std::uint32_t a, std::uint32_t b) {
    const Channels x = channels(a), y = channels(b);
    return std::uint32_t(
        std::max({std::abs(x[0] - y[0]), std::abs(x[1] - y[1]), std::abs(x[2] - y[2])}));
}

std::uint32_t differenceSum(std::uint32_t a, std::uint32_t b) {
    const Channels x = channels(a), y = channels(b);
    return std::uint32_t(std::abs(x[0] - y[0]) + std::abs(x[1] - y[1]) + std::abs(x[2] - y[2]));
}

void Quantizer::clear() {
    std::fill(keys_.begin(), keys_.end(), 0u);
    size_ = 0;
    lastSlot_ = NoSlot;
}

void Quantizer::countSlow(std::uint32_t colour) {
    if (2 * (size_ + 1) > keys_.size()) {
        grow();
    }
    std::size_t slot = hash(colour);
    while (keys_[slot] != 0 && keys_[slot] != colour + 1) {
        slot = (slot + 1) & mask_;
    }
    if (keys_[slot] == 0) {
        keys_[slot] = colour + 1;
        values_[slot] = 0;
        ++size_;
    }
    ++values_[slot];
    lastColour_ = colour;
    lastSlot_ = slot;
}

void Quantizer::grow() {
    std::vector<std::uint32_t> keys, values;
    keys.swap(keys_);
    values.swap(values_);
    const std::size_t capacity = keys.empty() ? 4096 : 2 * keys.size();
    keys_.assign(capacity, 0u);
    values_.assign(capacity, 0u);
    mask_ = capacity - 1;
    shift_ = 32;
    for (std::size_t c = capacity; c > 1; c >>= 1) {
        --shift_;
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] != 0) {
            std::size_t slot = hash(keys[i] - 1);
            while (keys_[slot] != 0) {
                slot = (slot + 1) & mask_;
            }
            keys_[slot] = keys[i];
            values_[slot] = values[i];
        }
    }
    lastSlot_ = NoSlot;
}

const std::vector<std::uint32_t>& Quantizer::choose(int maxColours, const ErrorBudget& budget) {
    items_.clear();
    for (std::size_t slot = 0; slot < keys_.size(); ++slot) {
        if (keys_[slot] != 0) {
            const Channels c = channels(keys_[slot] - 1);
            items_.push_back({{c[0], c[1], c[2]}, values_[slot], std::uint32_t(slot)});
        }
    }
    // The table's layout depends on the counting order; this order does not.
    std::sort(items_.begin(), items_.end(),
              [](const Item& a, const Item& b) { return keyOf(a) < keyOf(b); });
    palette_.clear();
    if (items_.size() <= std::min(ExactColours, std::size_t(maxColours))) {
        for (const Item& item : items_) {
            values_[item.slot] = std::uint32_t(palette_.size());
            palette_.push_back(keyOf(item));
        }
        return palette_;
    }
    cutBoxes(maxColours, budget);
    const EntrySearch search(palette_, budget.largest);
    for (const Item& item : items_) {
        values_[item.slot] = search.find(item.c);
    }
    return palette_;
}

// Median cut driven by the budget. While a member is further than the largest difference from
// its box's mean, the box with the furthest member is halved across the middle of its widest
// channel; then, while the total is over, the box with the most error is cut along its axis of
// largest squared error where the two halves keep the least squared error.
void Quantizer::cutBoxes(int maxColours, const ErrorBudget& budget) {
    std::vector<Box> boxes{makeBox(items_, 0, items_.size())};
    while (boxes.size() < std::size_t(maxColours)) {
        std::size_t furthest = 0, most = 0;
        std::uint64_t total = 0;
        for (std::size_t b = 0; b < boxes.size(); ++b) {
            total += boxes[b].total;
            if (boxes[b].largest > boxes[furthest].largest) {
                furthest = b;
            }
            if (boxes[b].total > boxes[most].total) {
                most = b;
            }
        }
        const bool outlier = boxes[furthest].largest > budget.largest;
        if (!outlier && total <= budget.total) {
            break;
        }
        const std::size_t split = outlier ? furthest : most;
        const Box box = boxes[split];
        if (box.end - box.begin < 2) {
            break;  // every box is a single colour
        }
        std::int32_t low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
        for (std::size_t i = box.begin; i < box.end; ++i) {
            for (int a = 0; a < 3; ++a) {
                low[a] = std::min(low[a], items_[i].c[a]);
                high[a] = std::max(high[a], items_[i].c[a]);
            }
        }
        int axis = 0;
        for (int a = 1; a < 3; ++a) {
            if (outlier ? high[a] - low[a] > high[axis] - low[axis]
                        : box.sums.error(a) > box.sums.error(axis)) {
                axis = a;
            }
        }
        std::sort(items_.begin() + std::ptrdiff_t(box.begin),
                  items_.begin() + std::ptrdiff_t(box.end), [axis](const Item& a, const Item& b) {
                      return a.c[axis] != b.c[axis] ? a.c[axis] < b.c[axis] : keyOf(a) < keyOf(b);
                  });
        std::size_t cut = box.begin + 1;
        if (outlier) {
            const std::int32_t middle = (low[axis] + high[axis]) / 2;
            while (items_[cut].c[axis] <= middle) {
                ++cut;
            }
        } else {
            // Least squared error left = largest sum over both halves of |sum|^2 / weight.
            Sums left;
            double bestGain = -1.0;
            for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
                left.add(items_[i]);
                double gain = 0.0;
                for (int a = 0; a < 3; ++a) {
                    const double l = double(left.sum[a]);
                    const double r = double(box.sums.sum[a] - left.sum[a]);
                    gain +=
                        l * l / double(left.weight) + r * r / double(box.sums.weight - left.weight);
                }
                if (gain > bestGain) {
                    bestGain = gain;
                    cut = i + 1;
                }
            }
        }
        boxes[split] = makeBox(items_, box.begin, cut);
        boxes.push_back(makeBox(items_, cut, box.end));
    }
    for (const Box& box : boxes) {
        palette_.push_back(box.colour);
    }
}
