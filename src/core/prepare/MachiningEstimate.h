#pragma once

// The machining time of a program, estimated block by block from its
// straight and circular motions: one fixed rapid rate, the feed as written,
// no acceleration, dwell or tool change.

#include <cstdint>
#include <string>
#include <string_view>

namespace maroka::prepare {

class MachiningEstimate {
public:
    struct ModalState {
        std::int32_t motion = 0;    // 0 rapid, 1 feed, 2 clockwise, 3 counter-clockwise, 9 none
        std::int32_t plane = 17;    // 17 XY, 18 ZX, 19 YZ
        std::int32_t distance = 90; // 90 absolute, 91 incremental
    };

    static constexpr double kRapidMinutesPerUnit = 0.000125; // 8000 units per minute

    // Back to the start of a program: modal state, words, end point, feed,
    // accumulators; clears Valid().
    void Reset();

    // Adds the motion of one block (CP932 bytes). Only upper-case letters are
    // addresses. False when a "(" has no ")" after it.
    bool EstimateBlock(std::string_view block);

    // Minutes: rapid time + feed time.
    double Total() const { return rapidTime_ + feedTime_; }
    double RapidTime() const { return rapidTime_; }
    double FeedTime() const { return feedTime_; }
    double RapidLength() const { return rapidLength_; }
    double FeedLength() const { return feedLength_; }
    const ModalState& Modal() const { return modal_; }

    // Set by a successful build: the total belongs to the prepared program.
    bool Valid() const { return valid_; }
    void SetValid() { valid_ = true; }

private:
    struct Words;

    // Reads the words and G words of a text in one pass; false when it meets
    // a "(" (the text still holds comments). `modal` takes the G words.
    bool Scan(std::string_view text, Words& words, ModalState& modal) const;
    void Move(const Words& words);

    ModalState modal_;
    float x_ = 0, y_ = 0, z_ = 0, r_ = 0, i_ = 0, j_ = 0, k_ = 0, f_ = 0;
    float prevX_ = 0, prevY_ = 0, prevZ_ = 0, prevF_ = 0;
    float length_ = 0;
    double rapidTime_ = 0, feedTime_ = 0, rapidLength_ = 0, feedLength_ = 0;
    bool valid_ = false;
    std::string scratch_;
};

// Reads a text made of "+-.0123456789" the way the C runtime's atof does:
// the longest leading number, 0 when there is none.
double ReadReal(std::string_view text);

} // namespace maroka::prepare
