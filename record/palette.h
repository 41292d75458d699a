#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Colours are 0xRRGGBB. A colour's error is measured per channel: the largest absolute
// difference of a channel, and the sum of the three.
std::uint32_t largestDifference(std::uint32_t a, std::uint32_t b);
std::uint32_t differenceSum(std::uint32_t a, std::uint32_t b);

// How far a reduced palette may move the pixels it is chosen for.
struct ErrorBudget {
    std::uint32_t largest;  // bound on the largest difference of every pixel
    std::uint64_t total;    // bound on the difference sums added over all pixels
};

// Chooses a palette of at most a given size for counted pixels and maps every counted colour to
// an entry. Deterministic: the choice depends only on the colours and their counts, not on the
// order of counting, and uses integer arithmetic except in choosing where to cut. Memory is
// kept from one use to the next.
class Quantizer {
  public:
    // Pixels of at most this many colours keep them exactly.
    static constexpr std::size_t ExactColours = 32;

    // Forgets the counted colours.
    void clear();
    // Counts one pixel.
    void count(std::uint32_t colour) {
        if (colour == lastColour_ && lastSlot_ != NoSlot) {
            ++values_[lastSlot_];
            return;
        }
        countSlow(colour);
    }
    // Returns at most maxColours (1..256) entries: the counted colours themselves in ascending
    // order when there are at most ExactColours of them; otherwise the means of boxes cut from
    // the colour cube until the pixels meet the budget or there are maxColours boxes.
    const std::vector<std::uint32_t>& choose(int maxColours, const ErrorBudget& budget);
    // The entry of a colour counted before choose: the one with the least difference sum among
    // those within the budget's largest difference (among all if none is), the lowest index on
    // ties. With a budget met, each pixel is as close as the mean of its box or closer.
    std::uint8_t indexOf(std::uint32_t colour) const {
        std::size_t slot = hash(colour);
        while (keys_[slot] != colour + 1) {
            slot = (slot + 1) & mask_;
        }
        return static_cast<std::uint8_t>(values_[slot]);
    }

    // One counted colour (public for the helpers of the implementation).
    struct Item {
        std::int32_t c[3];  // red, green, blue
        std::uint32_t weight;
        std::uint32_t slot;
    };

  private:
    static constexpr std::size_t NoSlot = ~std::size_t(0);
    std::size_t hash(std::uint32_t colour) const { return (colour * 0x9E3779B1u) >> shift_; }
    void countSlow(std::uint32_t colour);
    void grow();
    void cutBoxes(int maxColours, const ErrorBudget& budget);

    std::vector<std::uint32_t> keys_;    // colour + 1, 0 for an empty slot
    std::vector<std::uint32_t> values_;  // pixel count, then palette index
    std::size_t mask_ = 0;
    int shift_ = 32;
    std::size_t size_ = 0;
    std::uint32_t lastColour_ = 0;
    std::size_t lastSlot_ = NoSlot;
    std::vector<Item> items_;
    std::vector<std::uint32_t> palette_;
};
