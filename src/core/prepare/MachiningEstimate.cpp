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

enum Slot : unsigned char { kX, kY, kZ, kR, kI, kJ, kK, kF, kWordSlots };

constexpr unsigned kMotionLetters =
    (1u << kX) | (1u << kY) | (1u << kZ) | (1u << kR) | (1u << kI) | (1u << kJ) | (1u << kK);

// What the scan does at a byte: nothing, read a word (slot + 1), read a G
// word, or give up on a comment.
constexpr unsigned char kGClass = kWordSlots + 1;
constexpr unsigned char kParenClass = kWordSlots + 2;

constexpr std::array<unsigned char, 256> MakeScanClasses()
{
    std::array<unsigned char, 256> classes{};
    const char letters[kWordSlots] = {'X', 'Y', 'Z', 'R', 'I', 'J', 'K', 'F'};
    for (unsigned char slot = 0; slot < kWordSlots; ++slot)
        classes[static_cast<unsigned char>(letters[slot])] = static_cast<unsigned char>(slot + 1);
    classes['G'] = kGClass;
    classes['('] = kParenClass;
    return classes;
}

constexpr std::array<unsigned char, 256> kScanClass = MakeScanClasses();

// The word whose text starts at `p`: it runs to before the next letter,
// looked for from its second character on, and is missing (false) when it
// holds anything but "+-.0123456789". Without a decimal point the number
// counts in thousandths (X100 is 0.1). `p` is left where the scan for the
// next letter goes on: at the byte that ended the word.
bool ReadWord(const char*& p, const char* const last, bool thousandths, float& value)
{
    const char* const begin = p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // One pass: check every character and read the number as atof would.
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
    double v;
    if (digits <= 15) {
        // The mantissa is exact; scaling by the reciprocal may be one unit of
        // the last place of a double off, which the float word never shows.
        v = static_cast<double>(mantissa) * kInversePowersOfTen[static_cast<std::size_t>(fraction)];
        if (negative)
            v = -v;
    } else {
        v = ReadReal(std::string_view(begin, static_cast<std::size_t>(p - begin)));
    }
    if (thousandths && !point)
        v *= 0.001;
    value = static_cast<float>(v);
    return true;
}

// The modal change of a G word's number, made of digits and points only.
void ApplyGNumber(std::string_view number, MachiningEstimate::ModalState& modal)
{
    const double v = ReadReal(number);
    std::int32_t& motion = modal.motion;
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
        modal.plane = 17;
    else if (v >= 18 && v < 19)
        modal.plane = 18;
    else if (v >= 19 && v < 20)
        modal.plane = 19;
    else if (v >= 90 && v < 91)
        modal.distance = 90;
    else if (v >= 91 && v < 92)
        modal.distance = 91;
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

// The G word at `g`: it ends before the first letter from its third
// character on. `next` becomes the end, where the next G word may start.
// False when its number is not made of digits and points only, or the word
// is longer than 6 characters: no further G word of the block is read.
bool ReadGWord(const char* g, const char* const last, MachiningEstimate::ModalState& modal, const char*& next)
{
    const char* end = last - g > 2 ? g + 2 : last;
    while (end < last && !IsAlpha(*end))
        ++end;
    next = end;
    const std::string_view number(g + 1, static_cast<std::size_t>(end - g - 1));
    if (number.size() + 1 > 6 || number.find_first_not_of("0123456789.") != std::string_view::npos ||
        number.find_first_of("0123456789") == std::string_view::npos)
        return false;
    ApplyGNumber(number, modal);
    return true;
}

} // namespace

// The words of one block: the first occurrence of each address letter, and
// whether its text could be read.
struct MachiningEstimate::Words {
    std::array<float, kWordSlots> value{};
    unsigned seen = 0;  // bit per slot: the letter occurs
    unsigned valid = 0; // bit per slot: its first word was read into value
};

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

bool MachiningEstimate::Scan(std::string_view text, Words& words, ModalState& modal) const
{
    const char* p = text.data();
    const char* const last = p + text.size();
    const char* nextG = p;
    bool readG = true;
    while (p < last) {
        const unsigned char kind = kScanClass[static_cast<unsigned char>(*p)];
        if (kind == 0) {
            ++p;
            continue;
        }
        if (kind <= kWordSlots) {
            // Only the first occurrence of a letter is its word.
            const unsigned bit = 1u << (kind - 1);
            ++p;
            if (words.seen & bit)
                continue;
            words.seen |= bit;
            if (p >= last)
                continue;
            if (ReadWord(p, last, kind - 1 != kF, words.value[kind - 1]))
                words.valid |= bit;
            continue;
        }
        if (kind == kParenClass)
            return false;
        if (readG && p >= nextG)
            readG = ReadGWord(p, last, modal, nextG);
        ++p;
    }
    return true;
}

bool MachiningEstimate::EstimateBlock(std::string_view block)
{
    Words words;
    ModalState modal = modal_;
    if (!Scan(block, words, modal)) {
        // Comments hide their words: read the block without them.
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
        words = Words{};
        modal = modal_;
        Scan(scratch_, words, modal);
    }
    modal_ = modal;
    Move(words);
    return true;
}

void MachiningEstimate::Move(const Words& words)
{
    if (modal_.motion == 9 || (words.seen & kMotionLetters) == 0)
        return;
    auto word = [&words](Slot slot, float& value) {
        if ((words.valid >> slot) & 1u) {
            value = words.value[slot];
            return true;
        }
        return false;
    };

    const bool incremental = modal_.distance == 91;
    if (!word(kX, x_))
        x_ = incremental ? 0.0f : prevX_;
    if (!word(kY, y_))
        y_ = incremental ? 0.0f : prevY_;
    if (!word(kZ, z_))
        z_ = incremental ? 0.0f : prevZ_;
    if (!word(kF, f_))
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
        if (!word(kR, r_))
            r_ = 0;
        if (!word(kI, i_))
            i_ = 0;
        if (!word(kJ, j_))
            j_ = 0;
        if (!word(kK, k_))
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
