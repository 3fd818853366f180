#include "chords/small_vector.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace melvane::chords {
namespace {

// Random pushes, slots, appends and clears, across the move from inline room to the heap and
// back to reuse, read the same as a std::vector doing the same.
TEST(SmallVector, ReadsLikeAStdVector) {
    std::mt19937 rng(5);
    SmallVector<int, 4> small;
    std::vector<int> reference;
    for (int step = 0; step < 5000; ++step) {
        const int value = static_cast<int>(rng() % 1000);
        switch (rng() % 8) {
            case 0:
                if (rng() % 4 == 0) {
                    small.clear();
                    reference.clear();
                }
                break;
            case 1: {
                const std::vector<int> more(rng() % 9, value);
                small.append(more);
                reference.insert(reference.end(), more.begin(), more.end());
                break;
            }
            case 2:
                small.Slot() = value;
                if (rng() % 2 == 0) {
                    small.Grow();
                    reference.push_back(value);
                }
                break;
            case 3:
                if (!reference.empty()) {
                    small.push_back(small[rng() % small.size()]);  // an element of its own
                    reference.push_back(small.back());
                }
                break;
            default:
                small.push_back(value);
                reference.push_back(value);
        }
        ASSERT_EQ(std::vector<int>(small.begin(), small.end()), reference) << "step " << step;
    }
}

}  // namespace
}  // namespace melvane::chords
