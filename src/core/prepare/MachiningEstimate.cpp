#include "core/prepare/MachiningEstimate.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>

namespace maroka::prepare {

namespace {

inline bool IsAlpha(char c)
{
    return static_cast<unsigned char>((c | 0x20) - 'a') < 26;
}

inline bool IsDigitByte(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

constexpr std::array<double, 16> kInversePowersOfTen = {1e0,  1e-1, 1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                                        1e-8, 1e-9, 1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15};

constexpr std::array<double, 23> kPowersOfTen = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                                 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The value of the word whose letter stands at `pos`. Its text runs from the
// next character to before the next letter, looked for from the second
// character after the letter on; the word is missing (false) when that text
// is empty or holds anything but "+-.0123456789". Without a decimal point
// the number counts in thousandths (X100 is 0.1), except for F.
bool WordValue(std::string_view text, std::size_t pos, bool thousandths, float& value)
{
    if (pos == std::string_view::npos || pos + 1 >= text.size())
        return false;
    const char* const begin = text.data() + pos + 1;
    const char* const last = text.data() + text.size();
    // One pass: check every character and read the number as atof would.
    const char* p = begin;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    bool point = false;
    bool reading = true; // still inside the leading number
    for (; p < last; ++p) {
        const char c = *p;
        if (IsDigitByte(c)) {
            if (reading) {
                mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
                ++digits;
                fraction += point;
            }
        } else if (c == '.') {
            if (point)
                reading = false;
            point = true;
        } else if (c == '+' || c == '-') {
            reading = false;
        } else if (IsAlpha(c) && p > begin) {
            break;
        } else {
            return false;
        }
    }
    const std::string_view word(begin, static_cast<std::size_t>(p - begin));
    double v;
    if (digits <= 15) {
        // The mantissa is exact; scaling by the reciprocal may be one unit of
        // the last place of a double off, which the float word never shows.
        v = static_cast<double>(mantissa) * kInversePowersOfTen[static_cast<std::size_t>(fraction)];
        if (negative)
            v = -v;
    } else {
        v = ReadReal(word);
    }
    if (thousandths && word.find('.') == std::string_view::npos)
        v *= 0.001;
    value = static_cast<float>(v);
    return true;
}

enum Slot : unsigned char {
    kX,
    kY,
    kZ,
    kR,
    kI,
    kJ,
    kK,
    kF,
    kG,
    kParen,
    kOther,
    kSlotCount,
};

constexpr std::array<unsigned char, 256> MakeLetterSlots()
{
    std::array<unsigned char, 256> slots{};
    for (auto& slot : slots)
        slot = kOther;
    slots['X'] = kX;
    slots['Y'] = kY;
    slots['Z'] = kZ;
    slots['R'] = kR;
    slots['I'] = kI;
    slots['J'] = kJ;
    slots['K'] = kK;
    slots['F'] = kF;
    slots['G'] = kG;
    slots['('] = kParen;
    return slots;
}

constexpr std::array<unsigned char, 256> kLetterSlot = MakeLetterSlots();

} // namespace

// First position of each address letter the estimate reads, in one pass.
struct MachiningEstimate::Letters {
    std::array<std::size_t, kSlotCount> first;

    explicit Letters(std::string_view text)
    {
        first.fill(std::string_view::npos);
        for (std::size_t p = 0; p < text.size(); ++p) {
            const unsigned char slot = kLetterSlot[static_cast<unsigned char>(text[p])];
            if (first[slot] == std::string_view::npos)
                first[slot] = p;
        }
    }

    std::size_t operator[](unsigned char slot) const { return first[slot]; }
};

namespace {

} // namespace

double ReadReal(std::string_view text)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const char* const digits = p;
    // Up to 2^53 the mantissa is exact, and so is a power of ten up to
    // 10^22: one division then rounds exactly as strtod does.
    constexpr std::uint64_t kLimit = ((std::uint64_t{1} << 53) - 9) / 10;
    std::uint64_t mantissa = 0;
    std::size_t fraction = 0;
    bool exact = true;
    bool any = false;
    while (p < end && IsDigitByte(*p)) {
        if (mantissa > kLimit)
            exact = false;
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
        any = true;
        ++p;
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && IsDigitByte(*p)) {
            if (mantissa > kLimit)
                exact = false;
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
            ++fraction;
            any = true;
            ++p;
        }
    }
    if (!any)
        return negative ? -0.0 : 0.0;
    double value;
    if (exact && fraction < kPowersOfTen.size()) {
        value = static_cast<double>(mantissa) / kPowersOfTen[fraction];
    } else {
        value = 0;
        std::from_chars(digits, p, value, std::chars_format::fixed);
    }
    return negative ? -value : value;
}

void MachiningEstimate::Reset()
{
    modal_ = ModalState{};
    x_ = y_ = z_ = r_ = i_ = j_ = k_ = f_ = 0;
    prevX_ = prevY_ = prevZ_ = 0;
    // The feed starts unknown in every program: a value left over from an
    // earlier program would make the same file estimate differently.
    prevF_ = 0;
    length_ = 0;
    rapidTime_ = feedTime_ = rapidLength_ = feedLength_ = 0;
    valid_ = false;
}

bool MachiningEstimate::EstimateBlock(std::string_view block)
{
    Letters letters(block);
    std::string_view text = block;
    if (letters[kParen] != std::string_view::npos) {
        scratch_.clear();
        std::size_t pos = 0;
        for (;;) {
            const std::size_t open = block.find('(', pos);
            if (open == std::string_view::npos) {
                scratch_.append(block.substr(pos));
                break;
            }
            const std::size_t close = block.find(')', open + 1);
            if (close == std::string_view::npos)
                return false;
            scratch_.append(block.substr(pos, open - pos));
            pos = close + 1;
        }
        text = scratch_;
        letters = Letters(text);
    }
    if (letters[kG] != std::string_view::npos)
        ReadGWords(text, letters[kG]);
    Move(text, letters);
    return true;
}

void MachiningEstimate::ReadGWords(std::string_view text, std::size_t pos)
{
    const std::size_t n = text.size();
    for (;;) {
        const std::size_t g = text.find('G', pos);
        if (g == std::string_view::npos)
            return;
        std::size_t end = std::min(g + 2, n);
        while (end < n && !IsAlpha(text[end]))
            ++end;
        pos = end;
        const std::string_view number = text.substr(g + 1, end - g - 1);
        if (number.size() + 1 > 6 || number.find_first_not_of("0123456789.") != std::string_view::npos ||
            number.find_first_of("0123456789") == std::string_view::npos)
            return;
        const double v = ReadReal(number);
        std::int32_t& motion = modal_.motion;
        if (v < 1)
            motion = 0;
        else if (v < 2)
            motion = 1;
        else if (v < 3)
            motion = 2;
        else if (v < 4)
            motion = 3;
        else if (v >= 12 && v < 13)
            motion = 2;
        else if (v >= 13 && v < 14)
            motion = 3;
        else if (v >= 17 && v < 18)
            modal_.plane = 17;
        else if (v >= 18 && v < 19)
            modal_.plane = 18;
        else if (v >= 19 && v < 20)
            modal_.plane = 19;
        else if (v >= 90 && v < 91)
            modal_.distance = 90;
        else if (v >= 91 && v < 92)
            modal_.distance = 91;
        else if (v >= 27 && v < 30)
            motion = 0;
        else if (v >= 53 && v < 60)
            motion = 9;
        else if (v >= 65 && v < 68)
            motion = 9;
        else if (v > 70 && v < 90)
            motion = 0;
        else if (v >= 98 && v < 100)
            motion = 0;
        else if (v == 92)
            motion = 9;
    }
}

void MachiningEstimate::Move(std::string_view text, const Letters& letters)
{
    constexpr std::size_t npos = std::string_view::npos;
    auto at = [&letters](Slot slot) { return letters[slot]; };
    if (modal_.motion == 9)
        return;
    if (at(kX) == npos && at(kY) == npos && at(kZ) == npos && at(kR) == npos && at(kI) == npos && at(kJ) == npos &&
        at(kK) == npos)
        return;

    const bool incremental = modal_.distance == 91;
    if (!WordValue(text, at(kX), true, x_))
        x_ = incremental ? 0.0f : prevX_;
    if (!WordValue(text, at(kY), true, y_))
        y_ = incremental ? 0.0f : prevY_;
    if (!WordValue(text, at(kZ), true, z_))
        z_ = incremental ? 0.0f : prevZ_;
    if (!WordValue(text, at(kF), false, f_))
        f_ = prevF_;
    const double px = incremental ? 0.0 : prevX_;
    const double py = incremental ? 0.0 : prevY_;
    const double pz = incremental ? 0.0 : prevZ_;
    const double dx = x_ - px;
    const double dy = y_ - py;
    const double dz = z_ - pz;
    length_ = static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz));

    switch (modal_.motion) {
    case 0:
        rapidTime_ += length_ * kRapidMinutesPerUnit;
        rapidLength_ += length_;
        break;
    case 1:
        if (f_ > 0)
            feedTime_ += length_ / static_cast<double>(f_);
        feedLength_ += length_;
        break;
    case 2:
    case 3: {
        if (!WordValue(text, at(kR), true, r_))
            r_ = 0;
        if (!WordValue(text, at(kI), true, i_))
            i_ = 0;
        if (!WordValue(text, at(kJ), true, j_))
            j_ = 0;
        if (!WordValue(text, at(kK), true, k_))
            k_ = 0;
        float a = x_, b = y_, pa = static_cast<float>(px), pb = static_cast<float>(py);
        float p = i_, q = j_;
        double dh = dz;
        if (modal_.plane == 18) {
            a = z_, b = x_, pa = static_cast<float>(pz), pb = static_cast<float>(px);
            p = k_, q = i_;
            dh = dy;
        } else if (modal_.plane == 19) {
            a = y_, b = z_, pa = static_cast<float>(py), pb = static_cast<float>(pz);
            p = j_, q = k_;
            dh = dx;
        }
        const double da = static_cast<double>(a) - pa;
        const double db = static_cast<double>(b) - pb;
        const double chord = std::sqrt(da * da + db * db);
        if (r_ == 0)
            r_ = static_cast<float>(std::sqrt(static_cast<double>(p) * p + static_cast<double>(q) * q));
        const bool half = std::fabs(chord - 2.0 * r_) < 0.0001;
        const bool full = !half && a == pa && b == pb;
        const double radius = std::fabs(static_cast<double>(r_));
        const double circumference = 2 * std::numbers::pi * radius;
        double arc;
        if (radius == 0) {
            arc = 0;
        } else if (full) {
            arc = circumference;
        } else if (half) {
            arc = circumference / 2;
        } else {
            const double s = chord / 2;
            arc = s > radius ? circumference / 2 : circumference * std::asin(s / radius) / std::numbers::pi;
            if (r_ < 0)
                arc = circumference - arc; // a negative R asks for the longer arc
        }
        length_ = static_cast<float>(std::sqrt(arc * arc + dh * dh));
        if (f_ > 0)
            feedTime_ += length_ / static_cast<double>(f_);
        feedLength_ += length_;
        break;
    }
    default:
        break;
    }
    prevX_ = x_;
    prevY_ = y_;
    prevZ_ = z_;
    prevF_ = f_;
}

} // namespace maroka::prepare
